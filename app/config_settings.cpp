#include "app/config_settings.h"

#include "app/text_trim.h"

namespace mevra::app {
namespace {

constexpr char kSection[] = "Config";

}  // namespace

ConfigSettings ConfigSettings::Read(const IniDocument& ini, const QString& default_save_path) {
  auto read = [&ini](const char* key, const QString& default_value) {
    const std::optional<std::string> value = ini.Value(kSection, key);
    return TrimText(value ? QString::fromStdString(*value) : default_value);
  };
  auto read_integer = [&read](const char* key, int default_value) {
    bool ok = false;
    const int value = read(key, QString::number(default_value)).toInt(&ok, 10);
    return ok ? value : default_value;
  };
  ConfigSettings settings;
  settings.save_path = read("SavePath", default_save_path);
  settings.filter_small = read("isFileterSize", QStringLiteral("0")) == QLatin1String("1");
  settings.filter_size = read("FileterSize", QStringLiteral("2"));
  settings.song_bit = read_integer("SongBit", 320);
  settings.rename_type = read_integer("RenameType", 2);
  settings.download = DownloadSettings::Read([&read](const char* key) { return read(key, {}); });
  return settings;
}

void ConfigSettings::Write(IniDocument& ini) const {
  auto write = [&ini](const char* key, const QString& value) {
    ini.SetValue(kSection, key, value.toStdString());
  };
  write("SavePath", TrimText(save_path));
  write("isFileterSize", filter_small ? QStringLiteral("1") : QStringLiteral("0"));
  write("SongBit", QString::number(song_bit));
  write("FileterSize", TrimText(filter_size));
  write("RenameType", QString::number(rename_type));
  download.Write(write);
}

}  // namespace mevra::app
