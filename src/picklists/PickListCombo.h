#pragma once

#include "PickListStore.h"

#include <QComboBox>

namespace tramelle {

// Fills a combo box from the pick list `listName` ("Provider", "Usage"); the text typed
// into an editable box is kept. Throws DbError.
inline void FillPickListCombo(AppContext& ctx, QComboBox* combo, const QString& listName)
{
    const QStringList entries = PickListEntries(ctx, listName);
    const QString typed = combo->isEditable() ? combo->currentText() : QString();
    combo->clear();
    combo->addItems(entries);
    if (combo->isEditable())
        combo->setEditText(typed);
}

} // namespace tramelle
