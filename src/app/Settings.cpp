#include "Settings.h"

#include "AppContext.h"
#include "Paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>

namespace tramelle {

namespace {

const QString KeyCDDrive = QStringLiteral("CDRom Drive");
const QString KeyIcon = QStringLiteral("Icon");
const QString KeyMovie = QStringLiteral("Movie");
const QString KeyPicture = QStringLiteral("Picture");
const QString KeyPrintPatientCover = QStringLiteral("PrintPatientCover");
const QString KeyPrintCallVMR = QStringLiteral("PrintCallVMR");
const QString KeyShowTips = QStringLiteral("ShowTips");
const QString KeyProvider = QStringLiteral("Provider");
const QString KeyAddProtocolToProgram = QStringLiteral("AddProtocolToProgram");

QString BoolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// A stored drive letter keeps only its letter and colon; anything else is a folder path.
QString ReadCDDrive(const QString& stored)
{
    static const QRegularExpression driveLetter(QStringLiteral("^[A-Za-z]:[\\\\/]?$"));
    const QString value = stored.trimmed();
    if (value.isEmpty())
        return DefaultCDDrive();
    if (driveLetter.match(value).hasMatch())
        return value.left(2);
    return WithTrailingSlash(NormalizeSlashes(value));
}

QString ReadFolder(const QSettings& store, const QString& key, const QString& fallback)
{
    const QString value = store.value(key).toString().trimmed();
    if (value.isEmpty())
        return fallback;
    return WithTrailingSlash(NormalizeSlashes(value));
}

// The value as the file holds it. Qt reads some texts as typed values ("@Rect(1 2 3 4)"
// becomes a rectangle, whose text is empty): those are shown as written.
QString StoredText(const QSettings& store, const QString& key)
{
    const QVariant value = store.value(key);
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QStringList)
        return value.toString();
    QFile file(store.fileName());
    if (file.open(QIODevice::ReadOnly)) {
        const QString section = QLatin1Char('[') + store.group() + QLatin1Char(']');
        bool inSection = false;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith(QLatin1Char('[')))
                inSection = line.compare(section, Qt::CaseInsensitive) == 0;
            else if (inSection && line.section(QLatin1Char('='), 0, 0).trimmed() == key)
                return line.section(QLatin1Char('='), 1).trimmed();
        }
    }
    return value.toString();
}

bool ReadBool(AppContext& ctx, const QSettings& store, const QString& key, bool fallback)
{
    if (!store.contains(key))
        return fallback;
    const QString stored = StoredText(store, key);
    if (const std::optional<bool> value = ParseSettingsBool(stored))
        return *value;
    ctx.Prompt().Message(QCoreApplication::translate("Settings", "Settings"),
                         QCoreApplication::translate(
                             "Settings",
                             "The setting \"%1\" holds \"%2\", which is neither True nor False.\r\n"
                             "The default (%3) is used instead.")
                             .arg(key, stored, BoolText(fallback)),
                         PromptIcon::Warning);
    return fallback;
}

// Folders equal to their default are left out of the store, so the default follows
// the program when it moves.
void WriteFolder(QSettings& store, const QString& key, const QString& value,
                 const QString& fallback)
{
    if (WithTrailingSlash(NormalizeSlashes(value)) == fallback || value.isEmpty())
        store.remove(key);
    else
        store.setValue(key, value);
}

} // namespace

std::optional<bool> ParseSettingsBool(const QString& text)
{
    const QString value = text.trimmed();
    if (value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (value.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (ok)
        return number != 0.0;
    return std::nullopt;
}

QString DefaultCDDrive()
{
    return ProductMediaFolder();
}

QString DefaultIconFolder(const AppContext& ctx)
{
    return WithTrailingSlash(JoinPath(ctx.AppFolder(), QStringLiteral("ICON")));
}

QString DefaultPictureFolder(const QString& cdDrive)
{
    return WithTrailingSlash(JoinPath(cdDrive, QStringLiteral("PICTURE")));
}

QString DefaultMovieFolder(const QString& cdDrive)
{
    return WithTrailingSlash(JoinPath(cdDrive, QStringLiteral("MOVIE")));
}

std::unique_ptr<QSettings> OpenSettingsStore(const QString& file)
{
    if (file.isEmpty())
        return std::make_unique<QSettings>(SettingsOrganization, SettingsApplication);
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

void LoadSettings(AppContext& ctx)
{
    LoadSettings(ctx, *OpenSettingsStore());
}

void LoadSettings(AppContext& ctx, QSettings& store)
{
    SettingsValues& s = ctx.Settings;
    store.beginGroup(SettingsGroup);
    s.CDDrive = ReadCDDrive(store.value(KeyCDDrive).toString());
    s.IconFolder = ReadFolder(store, KeyIcon, DefaultIconFolder(ctx));
    s.MovieFolder = ReadFolder(store, KeyMovie, DefaultMovieFolder(s.CDDrive));
    s.PictureFolder = ReadFolder(store, KeyPicture, DefaultPictureFolder(s.CDDrive));
    s.PrintPatientCover = ReadBool(ctx, store, KeyPrintPatientCover, true);
    s.PrintCallVMR = ReadBool(ctx, store, KeyPrintCallVMR, false);
    s.ShowTips = ReadBool(ctx, store, KeyShowTips, true);
    s.DefaultProvider = store.value(KeyProvider).toString();
    s.AddProtocolToProgram = ReadBool(ctx, store, KeyAddProtocolToProgram, false);
    store.endGroup();
}

bool SaveSettings(AppContext& ctx)
{
    return SaveSettings(ctx, *OpenSettingsStore());
}

bool SaveSettings(AppContext& ctx, QSettings& store)
{
    const SettingsValues& s = ctx.Settings;
    store.beginGroup(SettingsGroup);
    WriteFolder(store, KeyMovie, s.MovieFolder, DefaultMovieFolder(s.CDDrive));
    WriteFolder(store, KeyIcon, s.IconFolder, DefaultIconFolder(ctx));
    WriteFolder(store, KeyPicture, s.PictureFolder, DefaultPictureFolder(s.CDDrive));
    const QList<QPair<QString, QString>> written{
        {KeyPrintPatientCover, BoolText(s.PrintPatientCover)},
        {KeyPrintCallVMR, BoolText(s.PrintCallVMR)},
        {KeyShowTips, BoolText(s.ShowTips)},
        {KeyProvider, s.DefaultProvider},
        {KeyAddProtocolToProgram, BoolText(s.AddProtocolToProgram)}};
    for (const auto& [key, value] : written)
        store.setValue(key, value);
    store.endGroup();
    // QSettings replaces its file through a temporary file, so a failure leaves the old one.
    store.sync();
    // A file that could not be parsed when it was read leaves a status that hides whether
    // the write worked: then the file itself is asked.
    bool failed = store.status() == QSettings::AccessError;
    if (store.status() == QSettings::FormatError) {
        QSettings check(store.fileName(), store.format());
        check.beginGroup(SettingsGroup);
        for (const auto& [key, value] : written)
            failed = failed || check.value(key).toString() != value;
    }
    if (failed) {
        ctx.Prompt().Message(
            QCoreApplication::translate("Settings", "Settings"),
            QCoreApplication::translate("Settings", "Your settings could not be saved to %1.")
                .arg(store.fileName()),
            PromptIcon::Warning);
        return false;
    }
    return true;
}

} // namespace tramelle
