#pragma once

#include "PickListStore.h"
#include "StoredLengthLimit.h"

#include <QComboBox>
#include <QLineEdit>

namespace tramelle {

// Fills a combo box from the pick list `listName` ("Provider", "Usage"); the text typed
// into an editable box is kept. A maximum length set on the box's line edit becomes a
// limit counted as the stored column counts (LimitStoredLength), so the box and the
// column agree on what fits. Throws DbError.
inline void FillPickListCombo(AppContext& ctx, QComboBox* combo, const QString& listName)
{
    if (QLineEdit* edit = combo->lineEdit(); edit && edit->maxLength() < 32767)
        LimitStoredLength(edit, edit->maxLength());
    const QStringList entries = PickListEntries(ctx, listName);
    const QString typed = combo->isEditable() ? combo->currentText() : QString();
    combo->clear();
    combo->addItems(entries);
    if (combo->isEditable())
        combo->setEditText(typed);
}

} // namespace tramelle
