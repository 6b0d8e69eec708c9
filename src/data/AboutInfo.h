#pragma once

#include <QString>

namespace tramelle {

class AppContext;

// The version of the database engine behind the open data files ("3.40.1"), or "" when
// the files are not open.
QString DatabaseEngineVersion(const AppContext& ctx);

// What a clinic's IT person asks for on the phone: the program's version, where its data
// and media are, and the versions of Qt and the database engine; one item a line.
QString SystemInfoText(const AppContext& ctx, const QString& programVersion);

} // namespace tramelle
