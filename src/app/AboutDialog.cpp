#include "app/AboutDialog.h"

#include "app/Artwork.h"
#include "msgbox/StyledMessageBox.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace mendora {

QString ProductVersion()
{
    return QStringLiteral("7.02.01");
}

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_picture(artwork::AboutPicture())
{
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About Mendora for Outlook Express"));
    setFixedSize(artwork::kAboutPicture);
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("AboutText"));
    m_text->setProperty("controlId", kTextLabelId);
    m_text->setAttribute(Qt::WA_TranslucentBackground);
    m_text->setAutoFillBackground(false);
    m_text->setStyleSheet(QStringLiteral("background: transparent; color: #102A5C;"));
    m_text->setText(QStringLiteral("%1\nVersion %2").arg(ProductName(), ProductVersion()));
    QFont textFont = m_text->font();
    textFont.setBold(true);
    textFont.setPixelSize(14);
    m_text->setFont(textFont);
    m_text->setGeometry(20, 196, 319, 48);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("AboutOk"));
    m_ok->setDefault(true);
    m_ok->setGeometry(width() - 20 - 80, height() - 16 - 25, 80, 25);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CAboutDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

} // namespace mendora
