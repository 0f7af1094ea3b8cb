#include "views/PreviewUpperView.h"

#include <QPaintEvent>
#include <QPainter>

namespace mendora {

CTransparentStatic::CTransparentStatic(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setFrameShape(QFrame::NoFrame);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setWordWrap(false);
    setTextFormat(Qt::PlainText);
    setMinimumSize(0, 0);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
}

CPreviewUpperView::CPreviewUpperView(QWidget* parent)
    : QWidget(parent), CSingleView<CPreviewUpperView>(this),
      m_fromLabel(new CTransparentStatic(QStringLiteral("From"), this)),
      m_fromValue(new CTransparentStatic(QString(), this)),
      m_toLabel(new CTransparentStatic(QStringLiteral("To"), this)),
      m_toValue(new CTransparentStatic(QString(), this)),
      m_subjectLabel(new CTransparentStatic(QStringLiteral("Subject"), this)),
      m_subjectValue(new CTransparentStatic(QString(), this))
{
    setObjectName(QStringLiteral("CPreviewUpperView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_fromValue->setObjectName(QStringLiteral("FromValue"));
    m_toValue->setObjectName(QStringLiteral("ToValue"));
    m_subjectValue->setObjectName(QStringLiteral("SubjectValue"));

    QFont valueFont(QStringLiteral("Arial"));
    valueFont.setPixelSize(16);
    valueFont.setWeight(QFont::Normal);
    valueFont.setItalic(false);
    valueFont.setUnderline(false);
    for (CTransparentStatic* value : {m_fromValue, m_toValue, m_subjectValue})
        value->setFont(valueFont);
}

void CPreviewUpperView::SetHeaderFields(const QString& from, const QString& to, const QString& subject)
{
    m_fromValue->setText(from);
    m_toValue->setText(to);
    m_subjectValue->setText(subject);
}

void CPreviewUpperView::resizeEvent(QResizeEvent*)
{
    const int cx = width();
    const int cy = height();
    const int h = cy / 2;
    const int m = cx / 2;
    m_fromLabel->setGeometry(0, 0, 80, h);
    m_fromValue->setGeometry(80, 0, m - 80, h);
    m_toLabel->setGeometry(m, 0, 80, h);
    m_toValue->setGeometry(m + 50, 0, cx - m - 50, h);
    m_subjectLabel->setGeometry(0, h, 80, cy - h);
    m_subjectValue->setGeometry(80, h, cx - 80, cy - h);
}

void CPreviewUpperView::paintEvent(QPaintEvent* event)
{
    QPainter(this).fillRect(event->rect(), palette().color(QPalette::Base));
}

} // namespace mendora
