#pragma once

#include "Database.h"
#include "LibraryFilterValues.h"

#include <QGroupBox>
#include <array>

class QLabel;
class QListWidget;

namespace tramelle {

class AppContext;

// The frame "View" with the three filter lists (Joint, Pattern, Type) in cascade: the
// joints selected narrow the motions offered, joints and motions narrow the types.
class FilterLists : public QGroupBox
{
    Q_OBJECT

public:
    explicit FilterLists(AppContext& ctx, QWidget* parent = nullptr);

    // Fills the three lists afresh, first rows current, no criteria. Throws DbError.
    void Reset();
    // Takes the criterion of list `index` (0 Joint, 1 Motion, 2 Type) from its selection
    // and refills the lists after it, whose criteria it clears. Throws DbError.
    void TakeSelection(int index);
    LibraryFilter Filter() const { return {m_joints, m_motions, m_types}; }

    const QStringList& JointFilter() const { return m_joints; }
    const QStringList& MotionFilter() const { return m_motions; }
    const QStringList& TypeFilter() const { return m_types; }

signals:
    // The user changed the selection of list `index` (not raised while lists are refilled).
    void listClicked(int index);

private:
    void Fill(int index);

    AppContext& m_ctx;
    std::array<QLabel*, 3> m_labels{};
    std::array<QListWidget*, 3> m_lists{};
    QStringList m_joints, m_motions, m_types;
    int m_filling = 0; // refills nest: clicks stay ignored until the outermost one ends
};

} // namespace tramelle
