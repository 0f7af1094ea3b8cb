// The views and wizard pages that the main frame's splitters hold. Each is a real widget of its
// own class and registers itself as the one instance that others reach. The message list and
// the preview's header, attachments and text views live in views/ and are included here; the
// content of the others comes with the browsing views and the wizard pages.
#pragma once

#include "views/AttachView.h"
#include "views/MessageListCtrl.h"
#include "views/PreviewUpperView.h"
#include "views/RtfView.h"
#include "views/SingleView.h"

#include <QWidget>

#include <memory>

class QTreeWidget;

namespace mendora {

class CDbxRecovery;

// A plain pane filled with one colour.
class CPaneWidget : public QWidget {
    Q_OBJECT

public:
    explicit CPaneWidget(QWidget* parent = nullptr);
    void SetFill(const QColor& fill);
    QColor Fill() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
};

// The wizard pane: the file-selection page in step 1, the scan strip in step 2. It owns the
// recovery engine of the current scan.
class CViewBottom : public CPaneWidget, public CSingleView<CViewBottom> {
    Q_OBJECT

public:
    explicit CViewBottom(QWidget* parent = nullptr);
    ~CViewBottom() override;

    void Next();
    void Back();
    bool IsSaveVisible() const { return m_saveVisible; }

    CDbxRecovery* Engine() const { return m_engine.get(); }
    void SetEngine(std::unique_ptr<CDbxRecovery> engine);
    // Destroys the engine, and with it its private temp folder.
    void ReleaseEngine();

    // Repaints for the current step (the step-1 page and the scan strip differ in colour).
    void StepChanged(int step);

private:
    std::unique_ptr<CDbxRecovery> m_engine;
    bool m_saveVisible = false;
};

// The save options page (step 3).
class CViewSelSaveOpp : public CPaneWidget, public CSingleView<CViewSelSaveOpp> {
    Q_OBJECT

public:
    explicit CViewSelSaveOpp(QWidget* parent = nullptr);
    void Next();
    void Back();
    bool IsSaveVisible() const { return m_saveVisible; }

private:
    bool m_saveVisible = false;
};

// The save progress page (step 4).
class CViewSave : public CPaneWidget, public CSingleView<CViewSave> {
    Q_OBJECT

public:
    explicit CViewSave(QWidget* parent = nullptr);
    void Finish();
    void Back();
    bool IsFinishVisible() const { return m_finishVisible; }

private:
    bool m_finishVisible = false;
};

// The folder tree.
class CItemTreeView : public QWidget, public CSingleView<CItemTreeView> {
    Q_OBJECT

public:
    explicit CItemTreeView(QWidget* parent = nullptr);
    QTreeWidget* TreeControl() const { return m_tree; }
    void SetHeaderColors(const QColor& face, const QColor& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QTreeWidget* m_tree;
};

// The HTML page view.
class CHtm : public CPaneWidget, public CSingleView<CHtm> {
    Q_OBJECT

public:
    explicit CHtm(QWidget* parent = nullptr);
};

} // namespace mendora
