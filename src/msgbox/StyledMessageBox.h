// The one message box of the program. It takes the platform's kind of style word (button set,
// icon, default button) and returns the platform's button identifiers, but builds its own
// modal dialog so that it can paint the program's look behind the icon and the text.
#pragma once

#include "msgbox/AreaStyle.h"

#include <QDialog>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QPushButton;

namespace mendora {

// Style word.
enum MessageBoxStyle : std::uint32_t {
    MbOk = 0x0,
    MbYesNo = 0x4,
    MbTypeMask = 0xF,
    MbIconQuestion = 0x20,
    MbIconExclamation = 0x30,
    MbIconWarning = MbIconExclamation,
    MbIconInformation = 0x40,
    MbIconMask = 0xF0,
    MbDefButton1 = 0x0,
    MbDefMask = 0xF00,
};

// Results.
enum MessageBoxResult : int {
    IdOk = 1,
    IdCancel = 2,
    IdYes = 6,
    IdNo = 7,
};

// The product's name: the caption of every box and window.
QString ProductName();

struct MessageBoxParams {
    QWidget* parent = nullptr;
    QString caption;
    QString text;
    std::uint32_t style = MbOk;
    AreaStyle background;
};

// The look that every caller passes: the vertical bump from light blue through white.
MessageBoxParams ProgramMessageBoxParams();

// Shows the box modally and returns IdOk, IdYes, IdNo or IdCancel. The explicit arguments win
// over the same fields of params. May be called from any thread: a call from a thread other
// than the user-interface thread is shown by that thread, without owner, while the caller waits.
int StyledMessageBox(QWidget* parent, const QString& text, const QString& caption,
                     std::uint32_t style, const MessageBoxParams* params);

// What every prompt of the program does: no owner, the product's caption, the program's look.
int ProgramMessageBox(const QString& text, std::uint32_t style);

// --- measures ------------------------------------------------------------------------------

namespace boxmetrics {
constexpr int kCellPadding = 5;  // inside each cell of the message block
constexpr int kTextMargin = 14;  // around the message block
constexpr int kButtonGap = 11;   // between buttons, around and below the button row
constexpr int kMinButtonWidth = 80;
constexpr int kMinButtonHeight = 23;
} // namespace boxmetrics

// value × numerator / denominator, rounded to nearest (halves away from zero).
int MulDivRounded(int value, int numerator, int denominator);

struct MessageBoxLayout {
    QRect iconCell;      // client coordinates
    QRect textCell;
    QSize block;         // icon cell and text cell side by side
    QSize messageArea;   // block plus the margins
    QSize button;        // every button has this size
    QSize client;
    std::vector<QRect> buttons; // in set order
};

// Lays a box out from the icon's size, the text's natural extent and each button text's
// extent, all in pixels.
MessageBoxLayout ComputeMessageBoxLayout(QSize iconSize, QSize textSize,
                                         const std::vector<QSize>& buttonTextSizes);

// Top-left corner that centres a box of the given size on a rectangle (integer division).
QPoint CenteredTopLeft(const QRect& around, QSize box);

// --- the dialog ----------------------------------------------------------------------------

class CStyledMessageDialog : public QDialog {
    Q_OBJECT

public:
    // params.parent is the owner as already resolved (none: centred on the screen).
    explicit CStyledMessageDialog(const MessageBoxParams& params);
    ~CStyledMessageDialog() override;

    const MessageBoxParams& Params() const { return m_params; }
    const MessageBoxLayout& BoxLayout() const { return m_layout; }
    bool CancelAllowed() const { return m_cancelAllowed; }
    const QList<QPushButton*>& Buttons() const { return m_buttons; }
    QPushButton* DefaultButton() const { return m_buttons.isEmpty() ? nullptr : m_buttons.first(); }
    // The identifiers of the button set, in order.
    std::vector<int> ButtonIds() const;

    // Acts as the user would: a button's identifier presses that button, IdCancel is the cancel
    // command. Returns true when the box ended, false when it ignored the answer.
    bool Answer(int id);
    bool Finished() const { return m_finished; }

    // Whether the background has been computed (it is, once, on the first paint).
    bool BackgroundCached() const { return !m_background.isNull(); }
    int BackgroundRenderCount() const { return m_backgroundRenders; }

    void done(int result) override;

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Build();
    void PlaceOnScreen();

    MessageBoxParams m_params;
    MessageBoxLayout m_layout;
    QFont m_font;
    QPixmap m_icon;
    QList<QPushButton*> m_buttons;
    bool m_cancelAllowed = false;
    bool m_finished = false;
    QImage m_background;
    int m_backgroundRenders = 0;
};

// A stand-in for the person in front of the box. When one is installed, StyledMessageBox
// builds and shows the box as usual but, instead of waiting, asks the answerer, which may look
// at the box (and grab it) and returns the identifier to press. An answer that the box ignores
// (cancel on a question) makes it ask again.
using MessageBoxAnswerer = std::function<int(CStyledMessageDialog& box)>;

void SetMessageBoxAnswerer(MessageBoxAnswerer answerer);
bool HasMessageBoxAnswerer();

class CScopedMessageBoxAnswerer {
public:
    explicit CScopedMessageBoxAnswerer(MessageBoxAnswerer answerer);
    ~CScopedMessageBoxAnswerer();
    CScopedMessageBoxAnswerer(const CScopedMessageBoxAnswerer&) = delete;
    CScopedMessageBoxAnswerer& operator=(const CScopedMessageBoxAnswerer&) = delete;

private:
    MessageBoxAnswerer m_previous;
};

} // namespace mendora
