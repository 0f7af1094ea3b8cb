// The preview header pane: the sender, recipients and subject of the message last previewed,
// each a fixed label followed by its value.
#pragma once

#include "views/SingleView.h"

#include <QLabel>
#include <QWidget>

namespace mendora {

// A single-line label that draws only its text, over its parent's background, in black.
// Text that does not fit is clipped at the right edge.
class CTransparentStatic : public QLabel {
    Q_OBJECT
public:
    explicit CTransparentStatic(const QString& text = QString(), QWidget* parent = nullptr);
};

class CPreviewUpperView : public QWidget, public CSingleView<CPreviewUpperView> {
    Q_OBJECT
public:
    explicit CPreviewUpperView(QWidget* parent = nullptr);

    void SetHeaderFields(const QString& from, const QString& to, const QString& subject);

    CTransparentStatic* FromLabel() const { return m_fromLabel; }
    CTransparentStatic* ToLabel() const { return m_toLabel; }
    CTransparentStatic* SubjectLabel() const { return m_subjectLabel; }
    CTransparentStatic* FromValue() const { return m_fromValue; }
    CTransparentStatic* ToValue() const { return m_toValue; }
    CTransparentStatic* SubjectValue() const { return m_subjectValue; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CTransparentStatic* m_fromLabel;
    CTransparentStatic* m_fromValue;
    CTransparentStatic* m_toLabel;
    CTransparentStatic* m_toValue;
    CTransparentStatic* m_subjectLabel;
    CTransparentStatic* m_subjectValue;
};

} // namespace mendora
