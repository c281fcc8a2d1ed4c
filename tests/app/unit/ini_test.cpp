// The INI reader and writer behind config.ini, and the endpoints read from it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/application_setup.h"
#include "app/endpoints.h"
#include "app/ini_document.h"
#include "app/profile_file.h"
#include "app/program_proxy.h"

namespace mevra::app {
namespace {

TEST(IniDocumentTest, ReadsWithCaseInsensitiveNamesAndRawValues) {
  const IniDocument ini(
      "; comment\r\n[Other]\r\nSavePath=/other\r\n[ config ]\r\n savepath = /a\\b c \r\n"
      "Empty=\r\n[CONFIG]\r\nLater=1\r\n");
  EXPECT_EQ(ini.Value("Config", "SAVEPATH"), " /a\\b c ");
  EXPECT_EQ(ini.Value("config", "Empty"), "");
  EXPECT_EQ(ini.Value("Config", "Missing"), std::nullopt);
  EXPECT_EQ(ini.Value("Config", "Later"), std::nullopt);  // only the first section counts
  EXPECT_EQ(ini.Value("Other", "SavePath"), "/other");
  EXPECT_EQ(ini.Value("Nowhere", "SavePath"), std::nullopt);
}

TEST(IniDocumentTest, WritesTouchOnlyTheirOwnLine) {
  struct Case {
    const char* name;
    std::string before;
    std::string section, key, value;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"empty text", "", "Config", "A", "1", "[Config]\nA=1\n"},
      {"replace keeps CRLF and neighbours", "[x]\r\nk = v \r\n[Config]\r\nA=old\r\nB=2\r\n",
       "config", "a", "new", "[x]\r\nk = v \r\n[Config]\r\na=new\r\nB=2\r\n"},
      {"new key goes behind the section's last entry, before blank lines",
       "[Config]\nA=1\n\n[Next]\nZ=9\n", "Config", "B", "2", "[Config]\nA=1\nB=2\n\n[Next]\nZ=9\n"},
      {"last line without newline", "[Config]\nA=1", "Config", "B", "2", "[Config]\nA=1\nB=2\n"},
      {"new section appended", "[Keep]\r\nX=y", "Config", "A", "1",
       "[Keep]\r\nX=y\r\n[Config]\r\nA=1\r\n"},
      {"value with backslashes stays raw", "", "Config", "SavePath", "C:\\x\\",
       "[Config]\nSavePath=C:\\x\\\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IniDocument ini(c.before);
    ini.SetValue(c.section, c.key, c.value);
    EXPECT_EQ(ini.Text(), c.after);
    EXPECT_EQ(ini.Value(c.section, c.key), c.value);
  }
}

TEST(ProfileFileTest, CreatesReadsAndFailsSilently) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string path = dir.filePath("config.ini").toStdString();
  EXPECT_EQ(ProfileFile::ReadString(path, "Config", "A", "dflt"), "dflt");
  EXPECT_TRUE(ProfileFile::WriteString(path, "Config", "A", "中文"));
  EXPECT_EQ(ProfileFile::ReadString(path, "Config", "A", "dflt"), "中文");

  // A path whose folder is a file can be neither read nor written; nothing throws.
  QFile blocker(dir.filePath("blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const std::string bad = dir.filePath("blocker/config.ini").toStdString();
  EXPECT_FALSE(ProfileFile::WriteString(bad, "Config", "A", "1"));
  EXPECT_EQ(ProfileFile::ReadString(bad, "Config", "A", "d"), "d");
  // A folder in place of the file.
  EXPECT_FALSE(ProfileFile::WriteString(dir.path().toStdString(), "Config", "A", "1"));
}

// The window speaks English only when config.ini names it; anything else keeps it Chinese.
TEST(LanguageTest, TheConfigFileChoosesEnglishOnlyByName) {
  QTemporaryDir dir;
  const QString path = dir.filePath("config.ini");
  struct Case {
    const char* name;
    QByteArray file;
    Language language;
  };
  for (const Case& c : {Case{"no file", QByteArray(), Language::kChinese},
                        Case{"no key", "[Config]\nSongBit=128\n", Language::kChinese},
                        Case{"english", "[Config]\nLanguage=en\n", Language::kEnglish},
                        Case{"blanks and case", "[config]\n language =  EN \n", Language::kEnglish},
                        Case{"chinese", "[Config]\nLanguage=zh_CN\n", Language::kChinese},
                        Case{"unknown", "[Config]\nLanguage=fr\n", Language::kChinese},
                        Case{"other section", "[Endpoints]\nLanguage=en\n", Language::kChinese},
                        Case{"binary junk", QByteArray("\0\xff[\n=\n", 6), Language::kChinese}}) {
    SCOPED_TRACE(c.name);
    QFile::remove(path);
    if (!c.file.isNull()) {
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(c.file);
    }
    EXPECT_EQ(ConfiguredLanguage(path), c.language);
  }
  EXPECT_EQ(LanguageNamed("zh-CN"), Language::kChinese);
  EXPECT_EQ(LanguageNamed("en_US"), std::nullopt);
}

TEST(EndpointsTest, DefaultsOverridesAndTheLoginAddress) {
  QTemporaryDir dir;
  const QString path = dir.filePath("config.ini");
  const Endpoints defaults = Endpoints::Load(path);
  EXPECT_EQ(defaults.portal_home_url, "http://127.0.0.1:18080/");
  EXPECT_EQ(defaults.LoginUrl(),
            "http://127.0.0.1:18081/v2/?login&tpl=mn&u="
            "http%3A%2F%2F127.0.0.1%3A18082%2Ftop%2Fnew%2F");
  EXPECT_FALSE(QFile::exists(path));  // reading never creates the file

  ASSERT_TRUE(ProfileFile::WriteString(path.toStdString(), "Endpoints", "MusicBaseUrl",
                                       " http://127.0.0.2:9000 "));
  ASSERT_TRUE(ProfileFile::WriteString(path.toStdString(), "endpoints", "loginbaseurl",
                                       "http://127.0.0.3:1"));
  const Endpoints read = Endpoints::Load(path);
  EXPECT_EQ(read.music_base_url, "http://127.0.0.2:9000");
  EXPECT_EQ(read.NewSongsChartUrl(), "http://127.0.0.2:9000/top/new");
  EXPECT_EQ(read.LoginUrl(),
            "http://127.0.0.3:1/v2/?login&tpl=mn&u=http%3A%2F%2F127.0.0.2%3A9000%2Ftop%2Fnew%2F");
  EXPECT_EQ(read.portal_host, defaults.portal_host);
  EXPECT_TRUE(read.ca_file.isEmpty());

  // The CA file: an absolute path stands, a relative one is taken from config.ini's folder.
  ASSERT_TRUE(ProfileFile::WriteString(path.toStdString(), "Endpoints", "CaFile", " tls/ca.pem "));
  EXPECT_EQ(Endpoints::Load(path).ca_file, dir.filePath("tls/ca.pem"));
  ASSERT_TRUE(ProfileFile::WriteString(path.toStdString(), "Endpoints", "CaFile", "/etc/ca.pem"));
  EXPECT_EQ(Endpoints::Load(path).ca_file, "/etc/ca.pem");

  // The hosts the browsers may accept the CA's certificates for: each endpoint's, once.
  EXPECT_EQ(read.Hosts(), QStringList({"127.0.0.1", "127.0.0.3", "127.0.0.2"}));
  Endpoints mixed;
  mixed.portal_home_url = "https://Portal.Example./";
  mixed.portal_host = "[::1]:18080";
  mixed.login_host = "login.example:443";
  EXPECT_EQ(mixed.Hosts(), QStringList({"portal.example.", "127.0.0.1", "::1", "login.example"}));
}

TEST(ProxyChoiceTest, TheSettingDecidesForTheClientsAndTheBrowserAlike) {
  using Kind = browser::BrowserProxy::Kind;
  struct Case {
    const char* setting;
    const char* environment_https;  // https_proxy, or nullptr
    const char* https_route;        // the clients' proxy for https://a.test, "" for straight
    Kind browser;
    bool error;
  };
  const Case cases[] = {
      {"system", "http://e:1", "http://e:1", Kind::kSystem, false},
      {" ", "socks5h://e:2", "socks5h://e:2", Kind::kSystem, false},
      {"NONE", "http://e:1", "", Kind::kNone, false},
      {"socks5://u:p@s:1080", "http://e:1", "socks5://s:1080", Kind::kSocks5, false},
      {"http://h:3128", nullptr, "http://h:3128", Kind::kHttp, false},
      // A setting that names no usable proxy is said, and nothing goes through any proxy.
      {"htp://h:3128", "http://e:1", "", Kind::kNone, true},
      {"system", "ftp://e:1", "", Kind::kNone, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    const ProxyChoice choice =
        ProxyChoice::Read(c.setting, [&](const char* name) -> std::optional<std::string> {
          if (c.environment_https != nullptr && std::string(name) == "https_proxy") {
            return c.environment_https;
          }
          return std::nullopt;
        });
    const net::ProxyServer route = choice.rules.For("https", "a.test");
    EXPECT_EQ(route.kind == net::ProxyKind::kNone ? "" : route.DisplayText(), c.https_route);
    EXPECT_EQ(choice.ForBrowser().kind, c.browser);
    EXPECT_EQ(!choice.error.isEmpty(), c.error) << choice.error.toStdString();
  }
  const browser::BrowserProxy socks = ProxyChoice::Read("socks5h://u:p@[::1]:9").ForBrowser();
  EXPECT_EQ(socks.EngineSwitches(),
            "--proxy-server=socks5://[::1]:9 --proxy-bypass-list=<-loopback>");
  EXPECT_EQ(socks.username, "u");
}

}  // namespace
}  // namespace mevra::app
