// The splitter's top-down rule, the step table, and dragging.

#include "app/StaticSplitter.h"
#include "app/WizardStep.h"

#include <QTest>

using namespace mendora;

Q_DECLARE_METATYPE(std::vector<int>)

class TestSplitter : public QObject {
    Q_OBJECT

private slots:
    void topDownRule_data();
    void topDownRule();
    void stepTable_data();
    void stepTable();
    void panesFollowTheLayout();
    void resizableBarOpensHiddenColumn();
    void fixedSplitterIgnoresDrags();
};

using Ints = QList<int>;

void TestSplitter::topDownRule_data()
{
    QTest::addColumn<Ints>("ideals");
    QTest::addColumn<Ints>("minimums");
    QTest::addColumn<int>("total");
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<Ints>("sizes");
    QTest::addColumn<Ints>("bars");

    // the wizard's four rows in a 500-pixel splitter of a 600-pixel frame
    QTest::newRow("step 1: the pane alone") << Ints{0, 600, 0, 0} << Ints{0, 0, 0, 0} << 500 << false
                                            << Ints{0, 500, 0, 0} << Ints{-1, -1, -1, -1};
    QTest::newRow("step 2: browsing area H - 200, strip the rest")
        << Ints{400, 600, 0, 0} << Ints{0, 0, 0, 0} << 500 << false << Ints{400, 96, 0, 0}
        << Ints{400, -1, -1, -1};
    QTest::newRow("step 3: options page") << Ints{0, 0, 600, 0} << Ints{0, 0, 0, 0} << 500 << false
                                          << Ints{0, 0, 500, 0} << Ints{-1, -1, -1, -1};
    QTest::newRow("step 4: the last row takes all") << Ints{0, 0, 0, 600} << Ints{0, 0, 0, 0} << 500
                                                    << false << Ints{0, 0, 0, 500} << Ints{-1, -1, -1, -1};
    QTest::newRow("oversize middle row gets the room left")
        << Ints{100, 1000, 50} << Ints{0, 0, 0} << 300 << false << Ints{100, 196, 0} << Ints{100, -1, -1};
    QTest::newRow("ideal below minimum is hidden")
        << Ints{30, 100, 0} << Ints{40, 0, 0} << 300 << false << Ints{0, 100, 196} << Ints{-1, 100, -1};
    QTest::newRow("preview rows 50 / 50 / 0 / rest")
        << Ints{50, 50, 0, 0} << Ints{0, 0, 0, 0} << 300 << false << Ints{50, 50, 0, 192}
        << Ints{50, 104, -1, -1};
    QTest::newRow("resizable: hidden column keeps its bar")
        << Ints{0, 0} << Ints{0, 0} << 800 << true << Ints{0, 796} << Ints{0, -1};
    QTest::newRow("no room at all") << Ints{50, 50} << Ints{0, 0} << 0 << false << Ints{0, 0} << Ints{-1, -1};
    QTest::newRow("bar squeezed by the room left")
        << Ints{98, 10} << Ints{0, 0} << 100 << false << Ints{98, 0} << Ints{98, -1};
}

void TestSplitter::topDownRule()
{
    QFETCH(Ints, ideals);
    QFETCH(Ints, minimums);
    QFETCH(int, total);
    QFETCH(bool, resizable);
    QFETCH(Ints, sizes);
    QFETCH(Ints, bars);

    std::vector<SplitterCell> cells;
    for (qsizetype i = 0; i < ideals.size(); ++i)
        cells.push_back(SplitterCell{ideals[i], minimums[i]});
    const SplitterPlacement placement = LayoutSplitterCells(cells, total, 4, resizable);
    QCOMPARE(Ints(placement.sizes.begin(), placement.sizes.end()), sizes);
    QCOMPARE(Ints(placement.bars.begin(), placement.bars.end()), bars);
    // the cells and bars tile the splitter without overlap
    int at = 0;
    for (std::size_t i = 0; i < placement.sizes.size(); ++i) {
        QCOMPARE(placement.positions[i], at);
        at += placement.sizes[i];
        if (placement.bars[i] >= 0)
            at += std::min(4, total - at);
    }
    QVERIFY(at <= std::max(total, 0));
}

void TestSplitter::stepTable_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<Ints>("rows");
    QTest::newRow("StepSelectFile") << int(StepSelectFile) << Ints{0, 700, 0, 0};
    QTest::newRow("StepScan") << int(StepScan) << Ints{500, 700, 0, 0};
    QTest::newRow("StepSaveOptions") << int(StepSaveOptions) << Ints{0, 0, 700, 0};
    QTest::newRow("StepSaveProgress") << int(StepSaveProgress) << Ints{0, 0, 0, 700};
}

void TestSplitter::stepTable()
{
    QFETCH(int, step);
    QFETCH(Ints, rows);
    const auto heights = StepRowHeights(step, 700);
    QCOMPARE(Ints(heights.begin(), heights.end()), rows);
}

void TestSplitter::panesFollowTheLayout()
{
    CStaticSplitter splitter(Qt::Vertical, 3);
    auto* a = new QWidget;
    auto* b = new QWidget;
    auto* c = new QWidget;
    splitter.SetPane(0, a);
    splitter.SetPane(1, b);
    splitter.SetPane(2, c);
    splitter.SetPaneSize(0, 0);
    splitter.SetPaneSize(1, 5000);
    splitter.SetFixed(true);
    splitter.resize(200, 300);
    splitter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splitter));

    QVERIFY(!a->isVisible());
    QVERIFY(b->isVisible());
    QVERIFY(!c->isVisible());
    // a view sits inside its cell's 2-pixel border
    QCOMPARE(b->geometry(), QRect(2, 2, 196, 296));

    splitter.SetPaneSize(0, 100);
    splitter.SetPaneSize(1, 50);
    splitter.RecalcLayout();
    QCOMPARE(a->geometry(), QRect(2, 2, 196, 96));
    QCOMPARE(b->geometry(), QRect(2, 106, 196, 46));
    QCOMPARE(c->geometry(), QRect(2, 160, 196, 138));
}

void TestSplitter::resizableBarOpensHiddenColumn()
{
    CStaticSplitter splitter(Qt::Horizontal, 2);
    auto* tree = new QWidget;
    auto* list = new QWidget;
    splitter.SetPane(0, tree);
    splitter.SetPane(1, list);
    splitter.SetPaneSize(0, 0);
    splitter.resize(600, 200);
    splitter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splitter));
    QVERIFY(!tree->isVisible());
    QCOMPARE(splitter.BarAt(QPoint(1, 100)), 0);

    QTest::mousePress(&splitter, Qt::LeftButton, {}, QPoint(1, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(151, 100), splitter.mapToGlobal(QPointF(151, 100)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&splitter, &move);
    QCOMPARE(splitter.CurrentSize(0), 0); // only the tracking line moves until release
    QTest::mouseRelease(&splitter, Qt::LeftButton, {}, QPoint(151, 100));

    QCOMPARE(splitter.IdealSize(0), 150);
    QCOMPARE(splitter.CurrentSize(0), 150);
    QCOMPARE(splitter.CurrentSize(1), 600 - 150 - 4);
    QVERIFY(tree->isVisible());
}

void TestSplitter::fixedSplitterIgnoresDrags()
{
    CStaticSplitter splitter(Qt::Vertical, 2);
    splitter.SetPane(0, new QWidget);
    splitter.SetPane(1, new QWidget);
    splitter.SetPaneSize(0, 22);
    splitter.SetFixed(true);
    splitter.resize(300, 300);
    splitter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splitter));
    QCOMPARE(splitter.BarAt(QPoint(10, 23)), 0);

    QTest::mousePress(&splitter, Qt::LeftButton, {}, QPoint(10, 23));
    QTest::mouseRelease(&splitter, Qt::LeftButton, {}, QPoint(10, 150));
    QCOMPARE(splitter.CurrentSize(0), 22);
    QCOMPARE(splitter.IdealSize(0), 22);
}

QTEST_MAIN(TestSplitter)
#include "tst_splitter.moc"
