#include "views/RtfView.h"

#include <QTextEdit>

namespace mendora {

CRtfView::CRtfView(QWidget* parent) : QWidget(parent), CSingleView<CRtfView>(this), m_edit(new QTextEdit(this))
{
    setObjectName(QStringLiteral("CRtfView"));
    m_edit->setObjectName(QStringLiteral("RtfEdit"));
    m_edit->setProperty("controlId", kEditControlId);
    m_edit->setAcceptRichText(false);
    m_edit->setReadOnly(false);
    m_edit->setLineWrapMode(QTextEdit::NoWrap); // long lines scroll sideways
    m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSize(10);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    m_edit->setFont(font);
    m_edit->document()->setDefaultFont(font);
    m_edit->setCurrentFont(font);
    ApplyTabStops();
    setFocusProxy(m_edit);
}

void CRtfView::ApplyTabStops()
{
    // 1440 twips to the inch.
    const qreal stop = kTabStopTwips * m_edit->logicalDpiX() / 1440.0;
    m_edit->setTabStopDistance(stop);
}

void CRtfView::SetBodyText(const QString& text)
{
    m_edit->setPlainText(text);
}

QString CRtfView::BodyText() const
{
    return m_edit->toPlainText();
}

void CRtfView::resizeEvent(QResizeEvent*)
{
    m_edit->setGeometry(0, 0, width(), height());
}

} // namespace mendora
