#include "views/MessageListModel.h"

#include <QCoreApplication>
#include <QtTest/QtTest>

#include <thread>

using namespace mendora;

namespace {

RecoveredMessage Row(const std::string& subject, MessageStatus status, std::uint32_t offset)
{
    RecoveredMessage r;
    r.from = "a@example.net";
    r.subject = subject;
    r.status = status;
    r.firstBlock = offset;
    return r;
}

} // namespace

class MessageListModelTest : public QObject {
    Q_OBJECT
private slots:
    void newRowsEnterAtTheTop()
    {
        CCatalogue cat;
        CMessageListModel model(cat);
        for (int i = 1; i <= 3; ++i)
            cat.InsertRow(Row(std::to_string(i), MessageStatus::Existing, 100u + i));
        cat.InsertRow(Row("4", MessageStatus::Deleted, 0x80000000u));
        model.ShowRowsUpTo(cat.RowCount());
        QCOMPARE(model.rowCount(), 4);
        QStringList subjects;
        for (int r = 0; r < 4; ++r)
            subjects << model.data(model.index(r, RecoveredMessage::kColSubject), Qt::DisplayRole).toString();
        QCOMPARE(subjects, (QStringList{"4", "3", "2", "1"}));
        QCOMPARE(model.data(model.index(0, RecoveredMessage::kColOffset), Qt::DisplayRole).toString(),
                 QStringLiteral("2147483648"));
    }

    void coloursByStatus()
    {
        CCatalogue cat;
        CMessageListModel model(cat);
        cat.InsertRow(Row("kept", MessageStatus::Existing, 1));
        cat.InsertRow(Row("gone", MessageStatus::Deleted, 2));
        model.ShowRowsUpTo(2);
        for (int c = 0; c < RecoveredMessage::kColOffset; ++c) {
            QCOMPARE(model.data(model.index(0, c), Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
            QVERIFY(!model.data(model.index(1, c), Qt::ForegroundRole).isValid());
        }
        // The locator column is white on white in every row.
        for (int r = 0; r < 2; ++r) {
            QCOMPARE(model.data(model.index(r, RecoveredMessage::kColOffset), Qt::ForegroundRole).value<QColor>(),
                     QColor(255, 255, 255));
            QCOMPARE(model.data(model.index(r, RecoveredMessage::kColOffset), Qt::BackgroundRole).value<QColor>(),
                     QColor(255, 255, 255));
        }
    }

    void checkBoxesFollowTheirRows()
    {
        CCatalogue cat;
        CMessageListModel model(cat);
        cat.InsertRow(Row("first", MessageStatus::Existing, 1));
        model.ShowRowsUpTo(1);
        QVERIFY(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
        cat.InsertRow(Row("second", MessageStatus::Existing, 2));
        model.ShowRowsUpTo(2);
        QVERIFY(!model.IsChecked(0));
        QVERIFY(model.IsChecked(1)); // "first" moved down and kept its check mark
        QCOMPARE(model.RowAt(1).subject, std::string("first"));
    }

    void rowsFromAnotherThreadArriveInOrder()
    {
        CCatalogue cat;
        CMessageListModel model(cat);
        CCatalogueBridge bridge(model);
        cat.SetObserver(&bridge);
        QString counter;
        connect(&bridge, &CCatalogueBridge::CounterTextChanged, this, [&](const QString& t) { counter = t; });
        std::thread producer([&] {
            for (std::uint32_t i = 1; i <= 5000; ++i)
                cat.InsertRow(Row(std::to_string(i), MessageStatus::Existing, i));
        });
        producer.join();
        QTRY_COMPARE(model.rowCount(), 5000);
        QCOMPARE(model.RowAt(0).firstBlock, 5000u);
        QCOMPARE(model.RowAt(4999).firstBlock, 1u);
        QTRY_COMPARE(counter, QStringLiteral("Emails          :  5000"));
        cat.Clear();
        QTRY_COMPARE(model.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(MessageListModelTest)
#include "MessageListModelTest.moc"
