#include "StoredLengthLimit.h"

#include "TextHelpers.h"

#include <QApplication>
#include <QLineEdit>
#include <QValidator>

namespace tramelle {

namespace {

// A validator may change the text it is given, which the line edit then takes as its new
// text with the caret: the one hook that sees typing, pasting and dropping alike.
class StoredLengthValidator : public QValidator
{
public:
    StoredLengthValidator(qsizetype limit, const QString& text, QObject* parent)
        : QValidator(parent), m_limit(limit), m_accepted(text)
    {
    }

    State validate(QString& input, int& pos) const override
    {
        const LimitedText fitted = FitStoredLength(m_accepted, input, pos, m_limit);
        if (fitted.Changed) {
            input = fitted.Text;
            pos = fitted.Caret;
            QApplication::beep();
        }
        m_accepted = input;
        return Acceptable;
    }

private:
    const qsizetype m_limit;
    mutable QString m_accepted; // the box's text as last accepted
};

} // namespace

void LimitStoredLength(QLineEdit* edit, qsizetype limit)
{
    const QString fitting = LeftStored(edit->text(), limit);
    if (fitting != edit->text())
        edit->setText(fitting);
    // The line edit's own limit would cut a character in half before the rule sees it.
    edit->setMaxLength(32767);
    const QValidator* previous = edit->validator();
    edit->setValidator(new StoredLengthValidator(limit, fitting, edit));
    if (dynamic_cast<const StoredLengthValidator*>(previous))
        delete previous;
}

} // namespace tramelle
