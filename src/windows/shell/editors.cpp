#include "shell/editors.h"

#include "shell/searchwindow.h"

#include "dataset/dataset.h"
#include "base/errors.h"
#include "base/messages.h"
#include "base/numformat.h"
#include "base/paths.h"
#include "codelists/codelists.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>

namespace jex {

FieldBinding::FieldBinding(ClientDataSet *ds, const QString &fieldName, QObject *parent)
    : QObject(parent), m_ds(ds), m_fieldName(fieldName)
{
    auto emitRefresh = [this] { if (!m_writing) Q_EMIT refresh(); };
    connect(ds, &ClientDataSet::recordChanged, this, emitRefresh);
    connect(ds, &ClientDataSet::scrolled, this, emitRefresh);
    connect(ds, &ClientDataSet::stateChanged, this, emitRefresh);
    connect(ds, &ClientDataSet::dataSetChanged, this, emitRefresh);
}

Field *FieldBinding::field() const
{
    return m_ds && m_ds->isActive() ? m_ds->findField(m_fieldName) : nullptr;
}

bool FieldBinding::beginChange()
{
    if (!m_ds || !m_ds->canModify() || !field() || field()->isReadOnly())
        return false;
    if (!m_ds->isEditing()) {
        if (m_ds->isEmpty())
            return false;
        m_ds->edit();
    }
    return true;
}

void FieldBinding::write(const QVariant &value)
{
    Field *f = field();
    if (!f)
        return;
    m_writing = true;
    try {
        f->setValue(value);
    } catch (const std::exception &e) {
        m_writing = false;
        messages().error(errorText(e));
        Q_EMIT refresh();
        return;
    }
    m_writing = false;
}

DBEdit::DBEdit(ClientDataSet *ds, const QString &fieldName, QWidget *parent)
    : QLineEdit(parent), m_binding(new FieldBinding(ds, fieldName, this))
{
    setObjectName(QStringLiteral("de") + fieldName);
    if (Field *f = m_binding->field()) {
        if (f->isText() && f->size() > 0)
            setMaxLength(f->size());
        if (f->isNumeric())
            setAlignment(Qt::AlignRight);
    }
    connect(m_binding, &FieldBinding::refresh, this, &DBEdit::refreshFromField);
    connect(this, &QLineEdit::textEdited, this, [this](const QString &t) {
        Field *f = m_binding->field();
        if (!f)
            return;
        // Starting the edit refreshes the editor from the field: put back
        // what the user typed, where the cursor was.
        const int pos = cursorPosition();
        if (!m_binding->beginChange()) {
            refreshFromField();
            return;
        }
        if (f->isText()) {
            const QString up = t.toUpper();
            if (text() != up)
                setText(up);
            setCursorPosition(pos);
            m_binding->write(up.isEmpty() ? QVariant() : QVariant(up));
        } else {
            if (text() != t)
                setText(t);
            setCursorPosition(pos);
            setModified(true);
        }
    });
    refreshFromField();
}

void DBEdit::refreshFromField()
{
    Field *f = m_binding->field();
    const QString t = f && !(f->dataSet()->isEmpty() && !f->dataSet()->isEditing())
                          ? f->text(!hasFocus()) : QString();
    if (t != text())
        setText(t);
    setReadOnly(!m_binding->dataSet() || !m_binding->dataSet()->canModify() || (f && f->isReadOnly()));
}

void DBEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    refreshFromField();
}

void DBEdit::focusOutEvent(QFocusEvent *e)
{
    commitText();
    QLineEdit::focusOutEvent(e);
    refreshFromField();
}

void DBEdit::commitText()
{
    Field *f = m_binding->field();
    if (!f || f->isText() || !isModified())
        return;
    setModified(false);
    if (!m_binding->dataSet()->isEditing())
        return;
    const QString t = text().trimmed();
    if (t.isEmpty()) {
        m_binding->write(QVariant());
        return;
    }
    if (f->isDate()) {
        const QDate d = QDate::fromString(t, u"dd/MM/yyyy");
        if (!d.isValid()) {
            messages().error(QStringLiteral("'%1' non è una data valida").arg(t));
            return;
        }
        m_binding->write(d);
        return;
    }
    double v = 0;
    if (!parseAmount(t, &v)) {
        messages().error(QStringLiteral("'%1' non è un valore numerico valido").arg(t));
        return;
    }
    if (f->type() == FieldType::Integer)
        m_binding->write(qint64(v));
    else
        m_binding->write(v);
}

DBCheckBox::DBCheckBox(ClientDataSet *ds, const QString &fieldName, const QString &caption, QWidget *parent)
    : QCheckBox(caption, parent), m_binding(new FieldBinding(ds, fieldName, this))
{
    setObjectName(QStringLiteral("cb") + fieldName);
    auto refresh = [this] {
        Field *f = m_binding->field();
        QSignalBlocker b(this);
        setChecked(f && !(f->dataSet()->isEmpty() && !f->dataSet()->isEditing()) && f->asString() == u"1");
    };
    connect(m_binding, &FieldBinding::refresh, this, refresh);
    connect(this, &QCheckBox::clicked, this, [this, refresh](bool on) {
        if (!m_binding->beginChange()) {
            refresh();
            return;
        }
        m_binding->write(on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    refresh();
}

DBRadioGroup::DBRadioGroup(ClientDataSet *ds, const QString &fieldName, const QString &caption,
                           const QStringList &items, const QStringList &values, QWidget *parent)
    : QGroupBox(caption, parent), m_binding(new FieldBinding(ds, fieldName, this)),
      m_group(new QButtonGroup(this)), m_values(values)
{
    setObjectName(QStringLiteral("rg") + fieldName);
    auto *lay = new QHBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto *rb = new QRadioButton(items[i], this);
        m_group->addButton(rb, i);
        lay->addWidget(rb);
    }
    lay->addStretch();
    auto refresh = [this] {
        Field *f = m_binding->field();
        const int idx = f ? int(m_values.indexOf(f->asString())) : -1;
        m_group->setExclusive(false);
        for (QAbstractButton *b : m_group->buttons()) {
            QSignalBlocker blk(b);
            b->setChecked(m_group->id(b) == idx);
        }
        m_group->setExclusive(true);
    };
    connect(m_binding, &FieldBinding::refresh, this, refresh);
    connect(m_group, &QButtonGroup::idClicked, this, [this, refresh](int id) {
        if (!m_binding->beginChange()) {
            refresh();
            return;
        }
        m_binding->write(m_values.value(id));
    });
    refresh();
}

DBCodeEdit::DBCodeEdit(ClientDataSet *ds, const QString &fieldName, const QString &codeList, QWidget *parent)
    : QWidget(parent), m_edit(new DBEdit(ds, fieldName, this)), m_button(new QToolButton(this)),
      m_description(new QLabel(this)), m_codeList(codeList)
{
    setObjectName(QStringLiteral("ce") + fieldName);
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(1);
    lay->addWidget(m_edit, 1);
    m_button->setText(QStringLiteral("..."));
    m_button->setFocusPolicy(Qt::NoFocus);
    lay->addWidget(m_button);
    m_description->setObjectName(QStringLiteral("la") + fieldName);
    // The description takes the room left and never widens the form.
    m_description->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lay->addSpacing(4);
    lay->addWidget(m_description, 2);
    connect(m_button, &QToolButton::clicked, this, &DBCodeEdit::search);
    connect(m_edit, &QLineEdit::textChanged, this, &DBCodeEdit::showDescription);
    m_edit->installEventFilter(this);
    showDescription();
}

void DBCodeEdit::showDescription()
{
    QString text;
    // The extinct agents are rows of the return, not a code list.
    if (!m_store && !m_codeList.startsWith(u'@') && !m_codeList.isEmpty()) {
        const Field *f = m_edit->binding()->field();
        const QString code = m_edit->text().trimmed();
        // Integer code columns hold 0 until a code is chosen.
        if (!(f && f->isNumeric() && code == u"0"))
            text = codeDescriptionText(CodeLists::installation(), m_codeList, code);
    }
    m_description->setText(text);
    m_description->setToolTip(text);
}

bool DBCodeEdit::eventFilter(QObject *o, QEvent *e)
{
    if (o == m_edit && e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == Qt::Key_F8) {
        search();
        return true;
    }
    return QWidget::eventFilter(o, e);
}

void DBCodeEdit::search()
{
    Field *f = m_edit->binding()->field();
    if (!f)
        return;
    try {
        QString source = m_codeList;
        if (!m_store) {
            // The user's completed list when there is one, else the delivered one.
            source = CodeLists::installation().filePath(m_codeList);
            if (source.isEmpty())
                source = Paths::tableFile(m_codeList);
        }
        TfmQmrRicerca::instance()->SearchForField(*f, source, m_store);
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        messages().error(errorText(e));
    }
    m_edit->refreshFromField();
}

} // namespace jex
