// The batch without a window end to end: the program itself, started with --batch against
// mevra-portal, in a folder of its own with its config.ini and a browser profile signed in by an
// earlier window.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string_view>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "app/instance_lock.h"
#include "browser/browser_control.h"
#include "portal/catalog.h"
#include "portal/song_file_cache.h"
#include "tests/app/e2e_support.h"
#include "tests/support/mp3_audio.h"

namespace mevra::app {
namespace {

using testing::PortalWindowTest;
using testing::WaitUntil;

constexpr int kChartSongs = 5;

// How a program ended, and what it wrote.
struct Exit {
  int status = -1;
  QString out;
  QString err;
};

// Runs `program` with `arguments` and the extra `environment`; its output goes to files in
// `folder`, read once it has ended.
Exit Spawn(const QString& program, const QStringList& arguments, const QStringList& environment,
           const QString& folder) {
  std::vector<std::string> args = {program.toStdString()};
  for (const QString& a : arguments) args.push_back(a.toStdString());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env;
  for (const QString& e : environment) env.push_back(e.toStdString());
  std::vector<char*> envp;
  for (char** e = environ; *e; ++e) envp.push_back(*e);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string out = (folder + "/out.txt").toStdString();
  const std::string err = (folder + "/err.txt").toStdString();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t child = -1;
  Exit run;
  const int spawned =
      posix_spawn(&child, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int status = 0;
  waitpid(child, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto read = [](const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  };
  run.out = read(out);
  run.err = read(err);
  return run;
}

// Run by BatchTest in a child process: a window signs in once with the profile the batches use,
// and the profile is written out when the child ends.
TEST(BatchSignInChild, SignsInThroughTheWindow) {
  const QString folder = qEnvironmentVariable("MEVRA_SIGN_IN_FOLDER");
  if (folder.isEmpty()) GTEST_SKIP() << "run by BatchTest in a child process";
  const Endpoints endpoints = Endpoints::Load(folder + "/config.ini");
  MainWindow w(MainWindowFiles{folder + "/config.ini", folder + "/temp.mp3"});
  testing::MainWindowProbe(w).Boxes().OnShow = [](const MessageRequest&) {
    return MessageAnswer::kOk;
  };
  w.show();
  browser::BrowserControl& web1 = *testing::MainWindowProbe(w).Ui().web1;
  ASSERT_TRUE(testing::WaitForSignInForm(web1, endpoints.login_base_url));
  testing::SubmitSignInForm(web1);
  ASSERT_TRUE(WaitUntil([&] { return !web1.IsLoading() && w.SongCount() > 0; }));
}

class BatchTest : public PortalWindowTest {
 protected:
  static void SetUpTestSuite() { StartPortal({"--big-chart", std::to_string(kChartSongs)}); }

  void SetUp() override {
    PortalWindowTest::SetUp();
    // The program keeps config.ini beside itself, so it runs from a copy in the test's folder.
    bin_ = dir_->filePath("bin");
    QDir().mkpath(bin_);
    program_ = bin_ + "/MevraMP3Manager";
    ASSERT_TRUE(QFile::copy(QStringLiteral(MEVRA_PROGRAM_BINARY), program_));
    QFile config(bin_ + "/config.ini");
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(testing::EndpointsSection(endpoints_) +
                 "[Config]\nSongBit=320\nRenameType=2\nUseArchive=1\n");
    chart_ = endpoints_.music_base_url + "/top/big";
  }

  Exit Batch(QStringList arguments) {
    arguments.prepend(chart_);
    arguments.prepend("--batch");
    return Spawn(program_, arguments,
                 {"MEVRA_PROFILE_DIR=" + dir_->filePath("profile"), "LANG=C.UTF-8"}, dir_->path());
  }

  void SignIn() {
    const Exit run =
        Spawn(QCoreApplication::applicationFilePath(), {"--gtest_filter=BatchSignInChild.*"},
              {"MEVRA_SIGN_IN_FOLDER=" + bin_, "MEVRA_TEST_PROFILE=" + dir_->filePath("profile")},
              dir_->path());
    ASSERT_EQ(run.status, 0) << run.out.toStdString() << run.err.toStdString();
    ASSERT_TRUE(run.out.contains("[       OK ]")) << run.out.toStdString();
  }

  static QByteArray PortalBytes(const portal::Song& song, int rate) {
    const std::string bytes = portal::EncodedSongBytes(song, rate, Portal().data_dir());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }

  QString bin_;
  QString program_;
  QString chart_;
};

TEST_F(BatchTest, SavesTheChartOnceSaysWhatFailedAndRefusesWhatCannotStart) {
  // Signed out, a bad option, a window holding the profile: nothing starts.
  const Exit signed_out = Batch({"--to", dir_->filePath("songs")});
  EXPECT_EQ(signed_out.status, 2) << signed_out.err.toStdString();
  EXPECT_TRUE(signed_out.out.isEmpty());
  EXPECT_FALSE(signed_out.err.isEmpty());
  EXPECT_EQ(Batch({"--rate", "256"}).status, 2);
  EXPECT_EQ(Batch({"--parallel", "6"}).status, 2);
  ASSERT_NO_FATAL_FAILURE(SignIn());
  {
    InstanceLock window(bin_ + "/" + QFileInfo(InstanceLock::DefaultPath()).fileName());
    ASSERT_TRUE(window.TryLock());
    const Exit locked = Batch({});
    EXPECT_EQ(locked.status, 2);
    EXPECT_TRUE(locked.err.contains(QString::number(QCoreApplication::applicationPid())))
        << locked.err.toStdString();
  }

  // Every song at 128, byte for byte, whatever config.ini's rate.
  const QString songs = dir_->filePath("songs");
  const Exit first = Batch({"--rate", "128", "--to", songs, "--parallel", "2"});
  ASSERT_EQ(first.status, 0) << first.out.toStdString() << first.err.toStdString();
  const std::vector<portal::Song> chart = portal::BigChartSongs(kChartSongs);
  for (const portal::Song& song : chart) {
    const QString path =
        songs + "/" + QString::fromStdString(song.title + " - " + song.singer) + ".mp3";
    EXPECT_TRUE(first.out.contains("saved " + path + "\n")) << path.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    // The audio as the portal sent it; the tag has gained the song's id.
    EXPECT_EQ(mevra::testing::AudioOf(file.readAll()),
              mevra::testing::AudioOf(PortalBytes(song, 128)));
  }
  EXPECT_TRUE(first.out.endsWith("5 saved, 0 skipped, 0 failed\n")) << first.out.toStdString();
  // No progress line goes to a pipe.
  EXPECT_FALSE(first.err.contains('\r')) << first.err.toStdString();

  // The archive knows them all: the second run fetches nothing.
  const Exit second = Batch({"--rate", "128", "--to", songs});
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.out.count("skipped "), kChartSongs);
  EXPECT_TRUE(second.out.endsWith("0 saved, 5 skipped, 0 failed\n")) << second.out.toStdString();
  EXPECT_EQ(QDir(songs).entryList(QDir::Files).size(), kChartSongs);

  // At 192 the song that offers only 128 fails, and says so.
  const Exit third = Batch({"--rate=192", "--to", dir_->filePath("songs192")});
  EXPECT_EQ(third.status, 1) << third.out.toStdString() << third.err.toStdString();
  EXPECT_TRUE(third.out.contains("failed " + QString::fromStdString(chart[4].title) + ": "))
      << third.out.toStdString();
  EXPECT_TRUE(third.out.endsWith("4 saved, 0 skipped, 1 failed\n")) << third.out.toStdString();

  // A portal that does not answer.
  Endpoints gone = endpoints_;
  gone.portal_home_url = QStringLiteral("http://127.0.0.1:1/");
  QFile config(bin_ + "/config.ini");
  ASSERT_TRUE(config.open(QIODevice::WriteOnly));
  config.write(testing::EndpointsSection(gone));
  config.close();
  const Exit unreachable = Batch({"--to", dir_->filePath("songs")});
  EXPECT_EQ(unreachable.status, 2);
  EXPECT_TRUE(unreachable.err.contains(gone.portal_home_url)) << unreachable.err.toStdString();
}

}  // namespace
}  // namespace mevra::app
