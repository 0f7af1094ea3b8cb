// The plain-text body view: an editable text control in Times New Roman 10 pt with a tab stop
// every 640 twips, filling the view.
#pragma once

#include "views/SingleView.h"

#include <QWidget>

class QTextEdit;

namespace mendora {

class CRtfView : public QWidget, public CSingleView<CRtfView> {
    Q_OBJECT
public:
    static constexpr int kTabStopTwips = 640;
    static constexpr int kEditControlId = 12;

    explicit CRtfView(QWidget* parent = nullptr);

    // Replaces the whole text.
    void SetBodyText(const QString& text);
    QString BodyText() const;
    QTextEdit* Edit() const { return m_edit; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyTabStops();
    QTextEdit* m_edit;
};

} // namespace mendora
