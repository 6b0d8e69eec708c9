#pragma once

#include "DataSet.h"
#include "Sharing.h"

#include <QDialog>

namespace tramelle {

class AppContext;

// Asks where to write the file, then exports the selection, saying what was written.
// True when the file was written.
bool ExportExercisesCommand(AppContext& ctx, const ShareSelection& selection);

// Asks for a file and imports it: a file of shared exercises (".zip"), or a public
// exercise data set (".json", its pictures in the folders beside it), shown first as a
// preview to accept. Ends with the report. True when anything was stored.
bool ImportExercisesCommand(AppContext& ctx);

// "Import Exercise Data Set": how the first exercises of a data set will enter the
// library, with Import and Cancel.
class frmDataSetPreview : public QDialog
{
    Q_OBJECT
public:
    // Rows shown at the most.
    static constexpr int PreviewRows = 20;
    frmDataSetPreview(const QList<DataSetExercise>& exercises, qint32 firstNumber,
                      QWidget* parent = nullptr);
};

} // namespace tramelle
