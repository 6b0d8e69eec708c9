#include "TipsFile.h"

#include "Paths.h"

#include <QFile>
#include <QStringDecoder>

namespace tramelle {

namespace {

QString DecodeLine(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes.data(), bytes.size());
    QString clean;
    clean.reserve(std::min<qsizetype>(text.size(), TipLengthLimit));
    for (const QChar c : std::as_const(text)) {
        if (clean.size() >= TipLengthLimit)
            break;
        if (c == QLatin1Char('\t'))
            clean += QLatin1Char(' ');
        else if (c.category() != QChar::Other_Control && c != QChar::ReplacementCharacter)
            clean += c;
    }
    return clean;
}

} // namespace

std::optional<QStringList> ReadTipsFile(const QString& path)
{
    if (path.trimmed().isEmpty())
        return std::nullopt;
    QFile file(ResolvePath(path));
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.read(TipsFileReadLimit);
    QStringList tips;
    qsizetype start = 0;
    const qsizetype size = data.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && data.at(end) != '\n' && data.at(end) != '\r')
            ++end;
        tips << DecodeLine(QByteArrayView(data).sliced(start, end - start));
        // A line ends with CR LF, LF or CR.
        if (end < size && data.at(end) == '\r' && end + 1 < size && data.at(end + 1) == '\n')
            ++end;
        start = end + 1;
    }
    return tips;
}

} // namespace tramelle
