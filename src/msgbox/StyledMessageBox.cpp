#include "msgbox/StyledMessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QMetaObject>
#include <QMutex>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QThread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace mendora {

namespace {

QMutex g_answererLock;
MessageBoxAnswerer g_answerer;

MessageBoxAnswerer CurrentAnswerer()
{
    QMutexLocker lock(&g_answererLock);
    return g_answerer;
}

void PlayMessageSound(std::uint32_t iconBits)
{
#ifdef _WIN32
    MessageBeep(iconBits);
#else
    Q_UNUSED(iconBits);
    QApplication::beep();
#endif
}

QStyle::StandardPixmap IconFor(std::uint32_t style)
{
    switch (style & MbIconMask) {
    case MbIconQuestion:
        return QStyle::SP_MessageBoxQuestion;
    case MbIconExclamation:
        return QStyle::SP_MessageBoxWarning;
    case MbIconInformation:
        return QStyle::SP_MessageBoxInformation;
    case 0x10:
        return QStyle::SP_MessageBoxCritical;
    default:
        return QStyle::SP_CustomBase;
    }
}

struct ButtonDef {
    int id;
    const char* text;
};

std::vector<ButtonDef> ButtonSet(std::uint32_t style)
{
    if ((style & MbTypeMask) == MbYesNo)
        return {{IdYes, "Yes"}, {IdNo, "No"}};
    return {{IdOk, "OK"}};
}

// Frame extent around a box's client area: taken from the owner's window when it has a frame,
// else from the style's title-bar and frame metrics.
QMargins FrameMargins(QWidget* owner)
{
    if (owner) {
        QWidget* window = owner->window();
        const QRect frame = window->frameGeometry();
        const QRect client = window->geometry();
        if (frame != client) {
            const int side = client.left() - frame.left();
            const int top = client.top() - frame.top();
            return QMargins(side, top, side, side);
        }
    }
    QStyle* style = QApplication::style();
    const int side = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    const int caption = style->pixelMetric(QStyle::PM_TitleBarHeight);
    return QMargins(side, caption + side, side, side);
}

QWidget* ResolveOwner(QWidget* parent)
{
    if (parent)
        return parent;
    if (QThread::currentThread() != qApp->thread())
        return nullptr;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    return QApplication::activeWindow();
}

int RunBox(const MessageBoxParams& params, bool ownerless)
{
    PlayMessageSound(params.style & MbIconMask);

    CStyledMessageDialog box(params);
    if (ownerless)
        box.setWindowModality(Qt::WindowModal); // with no owner this blocks no other window

    if (MessageBoxAnswerer answerer = CurrentAnswerer()) {
        box.show();
        constexpr int kMaxAttempts = 16;
        for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
            const int answer = answerer(box);
            if (box.Answer(answer))
                return box.result();
        }
        qWarning("message box: the answerer gave no answer the box accepts");
        box.hide();
        return IdCancel;
    }
    return box.exec();
}

} // namespace

QString ProductName()
{
    return QStringLiteral("Mendora for Outlook Express");
}

MessageBoxParams ProgramMessageBoxParams()
{
    MessageBoxParams params;
    params.background.effect = AreaStyle::kVerticalBump;
    params.background.start = Rgb(216, 231, 252);
    params.background.middle = Rgb(255, 255, 255);
    params.background.end = Rgb(216, 231, 252);
    return params;
}

int MulDivRounded(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    const long long rounded = product >= 0 ? (product + half) / denominator
                                           : (product - half) / denominator;
    return static_cast<int>(rounded);
}

MessageBoxLayout ComputeMessageBoxLayout(QSize iconSize, QSize textSize,
                                         const std::vector<QSize>& buttonTextSizes)
{
    using namespace boxmetrics;
    MessageBoxLayout layout;

    const QSize iconCell(iconSize.width() + 2 * kCellPadding, iconSize.height() + 2 * kCellPadding);
    const QSize textCell(textSize.width() + 2 * kCellPadding, textSize.height() + 2 * kCellPadding);
    layout.block = QSize(iconCell.width() + textCell.width(),
                         std::max(iconCell.height(), textCell.height()));
    layout.iconCell = QRect(QPoint(kTextMargin, kTextMargin), QSize(iconCell.width(), layout.block.height()));
    layout.textCell = QRect(QPoint(kTextMargin + iconCell.width(), kTextMargin),
                            QSize(textCell.width(), layout.block.height()));
    layout.messageArea = QSize(layout.block.width() + 2 * kTextMargin,
                               layout.block.height() + 2 * kTextMargin);

    int buttonWidth = kMinButtonWidth;
    int buttonHeight = kMinButtonHeight;
    for (const QSize& text : buttonTextSizes) {
        buttonWidth = std::max(buttonWidth, MulDivRounded(text.width(), 80, 45));
        buttonHeight = std::max(buttonHeight, MulDivRounded(text.height(), 23, 13));
    }
    layout.button = QSize(buttonWidth, buttonHeight);

    const int n = static_cast<int>(buttonTextSizes.size());
    const int rowSpan = kButtonGap + n * (buttonWidth + kButtonGap);
    layout.client = QSize(std::max(layout.messageArea.width(), rowSpan),
                          layout.messageArea.height() + buttonHeight + kButtonGap);

    const int rowWidth = n * (buttonWidth + kButtonGap) - kButtonGap;
    const int top = layout.client.height() - kButtonGap - buttonHeight;
    int left = (layout.client.width() - rowWidth) / 2;
    for (int i = 0; i < n; ++i) {
        layout.buttons.emplace_back(QPoint(left, top), layout.button);
        left += buttonWidth + kButtonGap;
    }
    return layout;
}

QPoint CenteredTopLeft(const QRect& around, QSize box)
{
    return QPoint(around.left() + (around.width() - box.width()) / 2,
                  around.top() + (around.height() - box.height()) / 2);
}

// --- CStyledMessageDialog ------------------------------------------------------------------

CStyledMessageDialog::CStyledMessageDialog(const MessageBoxParams& params)
    : QDialog(params.parent), m_params(params)
{
    m_cancelAllowed = (params.style & MbTypeMask) == MbOk;
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::MSWindowsFixedSizeDialogHint;
    if (m_cancelAllowed)
        flags |= Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setWindowTitle(params.caption);
    setObjectName(QStringLiteral("StyledMessageBox"));
    Build();
}

CStyledMessageDialog::~CStyledMessageDialog() = default;

std::vector<int> CStyledMessageDialog::ButtonIds() const
{
    std::vector<int> ids;
    for (QPushButton* button : m_buttons)
        ids.push_back(button->property("commandId").toInt());
    return ids;
}

void CStyledMessageDialog::Build()
{
    m_font = QApplication::font("QMessageBox");
    setFont(m_font);
    const QFontMetrics metrics(m_font);

    QStyle* st = style();
    const int iconExtent = st->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    const QStyle::StandardPixmap which = IconFor(m_params.style);
    if (which != QStyle::SP_CustomBase)
        m_icon = st->standardIcon(which, nullptr, this).pixmap(iconExtent, iconExtent);

    const QRect textExtent = metrics.boundingRect(
        QRect(0, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, m_params.text);

    const std::vector<ButtonDef> set = ButtonSet(m_params.style);
    std::vector<QSize> buttonText;
    for (const ButtonDef& entry : set)
        buttonText.push_back(metrics.size(Qt::TextShowMnemonic, QString::fromLatin1(entry.text)));

    m_layout = ComputeMessageBoxLayout(QSize(iconExtent, iconExtent), textExtent.size(), buttonText);

    for (std::size_t i = 0; i < set.size(); ++i) {
        auto* button = new QPushButton(QString::fromLatin1(set[i].text), this);
        const int id = set[i].id;
        button->setProperty("commandId", id);
        button->setFont(m_font);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAutoDefault(true);
        button->setGeometry(m_layout.buttons[i]);
        connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
        m_buttons.append(button);
    }
    if (QPushButton* first = DefaultButton()) {
        first->setDefault(true);
        first->setFocus(Qt::OtherFocusReason);
    }

    setFixedSize(m_layout.client);
    PlaceOnScreen();
}

void CStyledMessageDialog::PlaceOnScreen()
{
    const QMargins frame = FrameMargins(m_params.parent);
    const QSize box(m_layout.client.width() + frame.left() + frame.right(),
                    m_layout.client.height() + frame.top() + frame.bottom());
    QRect around;
    if (m_params.parent) {
        around = m_params.parent->window()->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        around = screen->geometry();
    }
    move(CenteredTopLeft(around, box));
}

bool CStyledMessageDialog::Answer(int id)
{
    if (id == IdCancel) {
        reject();
        return m_finished;
    }
    for (QPushButton* button : m_buttons) {
        if (button->property("commandId").toInt() == id) {
            button->click();
            return m_finished;
        }
    }
    return false;
}

void CStyledMessageDialog::done(int result)
{
    m_finished = true;
    QDialog::done(result);
}

void CStyledMessageDialog::reject()
{
    if (m_cancelAllowed)
        done(IdCancel);
}

void CStyledMessageDialog::closeEvent(QCloseEvent* event)
{
    if (m_finished) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_cancelAllowed)
        done(IdCancel);
}

void CStyledMessageDialog::paintEvent(QPaintEvent*)
{
    if (m_background.isNull() || m_background.size() != size()) {
        m_background = RenderAreaStyle(m_params.background, size());
        ++m_backgroundRenders;
    }

    QPixmap buffer(size() * devicePixelRatio());
    buffer.setDevicePixelRatio(devicePixelRatio());
    {
        QPainter painter(&buffer);
        painter.drawImage(QPoint(0, 0), m_background);

        // The icon and the text sit in their cells, centred on the row's height.
        const int pad = boxmetrics::kCellPadding;
        if (!m_icon.isNull()) {
            const QRect cell = m_layout.iconCell.adjusted(pad, pad, -pad, -pad);
            const QSize iconSize = m_icon.deviceIndependentSize().toSize();
            const QPoint at(cell.left(), cell.top() + (cell.height() - iconSize.height()) / 2);
            painter.drawPixmap(at, m_icon);
        }
        painter.setFont(m_font);
        painter.setPen(palette().color(QPalette::WindowText));
        const QRect textRect = m_layout.textCell.adjusted(pad, pad, -pad, -pad);
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextExpandTabs,
                         m_params.text);
    }
    QPainter(this).drawPixmap(0, 0, buffer);
}

// --- the call ------------------------------------------------------------------------------

int StyledMessageBox(QWidget* parent, const QString& text, const QString& caption,
                     std::uint32_t style, const MessageBoxParams* params)
{
    MessageBoxParams record;
    if (params)
        record = *params;
    record.parent = parent;
    record.text = text;
    record.caption = caption;
    record.style = style;

    if (!qApp)
        return IdCancel;

    if (QThread::currentThread() != qApp->thread()) {
        // Widgets live on the user-interface thread: show the box there, without owner, and
        // wait for the answer.
        record.parent = nullptr;
        int result = IdCancel;
        QMetaObject::invokeMethod(
            qApp, [&record, &result] { result = RunBox(record, true); },
            Qt::BlockingQueuedConnection);
        return result;
    }

    record.parent = ResolveOwner(parent);
    return RunBox(record, false);
}

int ProgramMessageBox(const QString& text, std::uint32_t style)
{
    const MessageBoxParams params = ProgramMessageBoxParams();
    return StyledMessageBox(nullptr, text, ProductName(), style, &params);
}

void SetMessageBoxAnswerer(MessageBoxAnswerer answerer)
{
    QMutexLocker lock(&g_answererLock);
    g_answerer = std::move(answerer);
}

bool HasMessageBoxAnswerer()
{
    QMutexLocker lock(&g_answererLock);
    return static_cast<bool>(g_answerer);
}

CScopedMessageBoxAnswerer::CScopedMessageBoxAnswerer(MessageBoxAnswerer answerer)
{
    QMutexLocker lock(&g_answererLock);
    m_previous = std::move(g_answerer);
    g_answerer = std::move(answerer);
}

CScopedMessageBoxAnswerer::~CScopedMessageBoxAnswerer()
{
    QMutexLocker lock(&g_answererLock);
    g_answerer = std::move(m_previous);
}

} // namespace mendora
