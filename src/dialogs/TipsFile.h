#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tramelle {

// The longest tip kept from one line, and the most of a tips file that is read: a line of
// thousands of characters or a file that is not text costs no more than this.
inline constexpr int TipLengthLimit = 1000;
inline constexpr qint64 TipsFileReadLimit = 1024 * 1024;

// The tips of a tips file, one a line in file order; empty lines are tips too. Lines are
// UTF-8, or Latin-1 when they are not; control characters are left out and each line is
// cut to TipLengthLimit. Nothing when the name is empty or no such file can be read.
std::optional<QStringList> ReadTipsFile(const QString& path);

} // namespace tramelle
