#pragma once

#include <QString>
#include <memory>
#include <optional>

#include <QSettings>

namespace tramelle {

class AppContext;

// The settings store's location: organisation and application "Velmora", group "Options".
inline const QString SettingsOrganization = QStringLiteral("Velmora");
inline const QString SettingsApplication = QStringLiteral("Velmora");
inline const QString SettingsGroup = QStringLiteral("Options");

// The store the options live in: the per-user store of the platform, or, when a file is
// given, that file (tests and benchmarks keep away from the user's own options).
std::unique_ptr<QSettings> OpenSettingsStore(const QString& file = QString());

// Reads every option into ctx.Settings. A missing key gives its default; a boolean that
// cannot be read is reported (naming the key) and gets its default.
void LoadSettings(AppContext& ctx);
void LoadSettings(AppContext& ctx, QSettings& store);

// Writes the options that change during a run. "CDRom Drive" is never written, and a
// folder equal to its computed default is removed rather than written, so a moved or
// reinstalled program still finds its media. Returns false (after telling the user)
// when the store could not be written.
bool SaveSettings(AppContext& ctx);
bool SaveSettings(AppContext& ctx, QSettings& store);

// The text-to-boolean rule: "True" / "False" in any letter case, or a number (0 is
// false, anything else true). Nothing when the text is neither.
std::optional<bool> ParseSettingsBool(const QString& text);

// The defaults that depend on other values.
QString DefaultCDDrive();
QString DefaultIconFolder(const AppContext& ctx);
QString DefaultPictureFolder(const QString& cdDrive);
QString DefaultMovieFolder(const QString& cdDrive);

} // namespace tramelle
