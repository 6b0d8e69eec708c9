#include "StoredLengthLimit.h"

#include "TextHelpers.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
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

// Follows a multi-line box: what a change put in beyond the limit is taken out again.
class PlainTextLimit : public QObject
{
public:
    PlainTextLimit(QPlainTextEdit* box, qsizetype limit) : QObject(box), m_box(box), m_limit(limit)
    {
        const QString fitting = LeftStored(box->toPlainText(), limit);
        if (fitting != box->toPlainText())
            box->setPlainText(fitting);
        m_accepted = fitting;
        connect(box, &QPlainTextEdit::textChanged, this, &PlainTextLimit::Changed);
    }

private:
    void Changed()
    {
        if (m_restoring)
            return;
        const LimitedText fitted = FitStoredLength(m_accepted, m_box->toPlainText(),
                                                   m_box->textCursor().position(), m_limit);
        if (fitted.Changed) {
            m_restoring = true;
            m_box->setPlainText(fitted.Text);
            QTextCursor cursor = m_box->textCursor();
            cursor.setPosition(fitted.Caret);
            m_box->setTextCursor(cursor);
            m_restoring = false;
            QApplication::beep();
        }
        m_accepted = fitted.Text;
    }

    QPlainTextEdit* m_box;
    const qsizetype m_limit;
    QString m_accepted;
    bool m_restoring = false;
};

} // namespace

void LimitStoredLength(QPlainTextEdit* box, qsizetype limit)
{
    new PlainTextLimit(box, limit);
}

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
