#include "WidgetsTests.h"

#include "widgets/FloatEdit.h"

#include <QLineEdit>
#include <QLocale>
#include <QSignalSpy>
#include <QVBoxLayout>

using kova::Extended;
using kova::TFloatEdit;

namespace {

class TRecordingFloatEdit : public TFloatEdit {
public:
    using TFloatEdit::TFloatEdit;
    QStringList messages;

protected:
    void ShowMessage(const QString& text) override { messages.append(text); }
};

// A window with the field under test and a second field to move the focus to.
struct TFocusWindow {
    QWidget window;
    TRecordingFloatEdit* edit = new TRecordingFloatEdit(&window);
    QLineEdit* other = new QLineEdit(&window);

    TFocusWindow() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(edit);
        layout->addWidget(other);
    }

    bool Start() {
        if (!kova::test::ShowActive(window))
            return false;
        edit->setFocus(Qt::OtherFocusReason);
        return edit->hasFocus();
    }
};

void SelectAllAndType(QWidget* edit, const QString& keys) {
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, keys);
}

} // namespace

class TFloatEditTests : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void defaults() {
        TFloatEdit edit;
        QCOMPARE(edit.text(), QStringLiteral("0.0"));
        QCOMPARE(edit.Value(), Extended{0});
        QCOMPARE(edit.Digits(), 1);
        QCOMPARE(edit.Min(), Extended{0});
        QCOMPARE(edit.Max(), 99999999.9L);
        QCOMPARE(edit.ErrorMessage(), QStringLiteral("[No Text]"));
        QCOMPARE(edit.DecimalSeparator(), QChar('.'));
        QVERIFY(edit.alignment() & Qt::AlignRight);
    }

    void formatValue_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("digits");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole") << 10.0 << 0 << "10";
        QTest::newRow("zero") << 0.0 << 1 << "0.0";
        QTest::newRow("half up") << 0.25 << 1 << "0.3";
        QTest::newRow("half to whole") << 2.5 << 0 << "3";
        QTest::newRow("negative half") << -2.5 << 0 << "-3";
        QTest::newRow("no negative zero") << -0.04 << 1 << "0.0";
        QTest::newRow("carry into new digit") << 99999999.95 << 1 << "100000000.0";
        QTest::newRow("padded") << 12.5 << 3 << "12.500";
        QTest::newRow("small rounds up") << 0.0005 << 3 << "0.001";
        QTest::newRow("small rounds down") << 0.0004 << 3 << "0.000";
        QTest::newRow("far below last decimal") << 0.00004 << 2 << "0.00";
        QTest::newRow("huge") << 1.2345678901234567e20 << 0 << "123456789012345668000";
    }

    void formatValue() {
        QFETCH(double, value);
        QFETCH(int, digits);
        QFETCH(QString, expected);
        QCOMPARE(TFloatEdit::FormatValue(value, digits, QChar('.')), expected);
    }

    void formatValueKeepsEighteenSignificantDigits() {
        // A long double carries about 19 digits; only 18 are shown.
        QCOMPARE(TFloatEdit::FormatValue(10.0L / 3, 18, QChar('.')),
                 QStringLiteral("3.333333333333333330"));
        QCOMPARE(TFloatEdit::FormatValue(1.0L / 3, 18, QChar('.')),
                 QStringLiteral("0.333333333333333333"));
        QCOMPARE(TFloatEdit::FormatValue(1.5L, 25, QChar('.')),
                 QStringLiteral("1.500000000000000000"));
        QCOMPARE(TFloatEdit::FormatValue(-7.25L, 2, QChar(',')), QStringLiteral("-7,25"));
    }

    void parseValue() {
        const QChar point('.');
        QCOMPARE(TFloatEdit::ParseValue(QString(), point), Extended{0});
        QCOMPARE(TFloatEdit::ParseValue(QStringLiteral("-"), point), Extended{0});
        QCOMPARE(TFloatEdit::ParseValue(QStringLiteral("."), point), Extended{0});
        QCOMPARE(TFloatEdit::ParseValue(QStringLiteral("-2.25"), point), -2.25L);
        QCOMPARE(TFloatEdit::ParseValue(QStringLiteral(" 3.5 "), point), 3.5L);
        QCOMPARE(TFloatEdit::ParseValue(QStringLiteral("+4"), point), 4.0L);
        QCOMPARE(TFloatEdit::ParseValue(QStringLiteral("1,5"), QChar(',')), 1.5L);
        QVERIFY(!TFloatEdit::ParseValue(QStringLiteral("1.5"), QChar(',')));
        QVERIFY(!TFloatEdit::ParseValue(QStringLiteral("abc"), point));
        QVERIFY(!TFloatEdit::ParseValue(QStringLiteral("1.2.3"), point));
        QVERIFY(!TFloatEdit::ParseValue(QStringLiteral("inf"), point));
        QVERIFY(!TFloatEdit::ParseValue(QStringLiteral("12x"), point));
    }

    void valueIsClampedOnReadAndWrite() {
        TRecordingFloatEdit edit;
        edit.SetMin(1);
        edit.SetMax(2000);
        edit.SetDigits(0);
        edit.SetValue(2500);
        QCOMPARE(edit.text(), QStringLiteral("2000"));
        edit.SetValue(-3);
        QCOMPARE(edit.text(), QStringLiteral("1"));
        edit.setText(QStringLiteral("5000"));
        QCOMPARE(edit.Value(), Extended{2000});
        edit.setText(QStringLiteral("nonsense"));
        QCOMPARE(edit.Value(), Extended{1});
        edit.setText(QStringLiteral("0"));
        QCOMPARE(edit.Value(), Extended{1});
        QVERIFY(edit.messages.isEmpty());

        edit.SetErrorMessage(QStringLiteral("Out of range"));
        edit.SetValue(2001);
        edit.SetValue(7);
        QCOMPARE(edit.messages, QStringList{QStringLiteral("Out of range")});
        QCOMPARE(edit.Value(), Extended{7});
    }

    void rangeAndDigitsSetters() {
        TRecordingFloatEdit edit;
        edit.SetValue(12.34L);
        QCOMPARE(edit.text(), QStringLiteral("12.3"));
        edit.SetDigits(3);
        QCOMPARE(edit.text(), QStringLiteral("12.300"));
        edit.SetDigits(40);
        QCOMPARE(edit.Digits(), 18);
        edit.SetDigits(0);
        QCOMPARE(edit.text(), QStringLiteral("12"));

        edit.SetMax(10);
        QCOMPARE(edit.text(), QStringLiteral("10"));
        edit.SetMin(20);
        QCOMPARE(edit.Min(), Extended{10});
        edit.SetMin(5);
        edit.SetMax(2);
        QCOMPARE(edit.Max(), Extended{5});
        QCOMPARE(edit.messages,
                 (QStringList{
                     QStringLiteral("Min-Value has to be less than or equal to Max-Value !"),
                     QStringLiteral("Max-Value has to be greater than or equal to Min-Value !")}));
    }

    void wholeNumberFieldRefusesSeparatorAndMinusAndRestoresOutOfRange() {
        TFocusWindow w;
        w.edit->SetDigits(0);
        w.edit->SetMin(1);
        w.edit->SetMax(2000);
        w.edit->SetValue(10);
        QVERIFY(w.Start());

        QTest::keyClick(w.edit, Qt::Key_End);
        QTest::keyClicks(w.edit, QStringLiteral(".-"));
        QCOMPARE(w.edit->text(), QStringLiteral("10"));

        SelectAllAndType(w.edit, QStringLiteral("2500"));
        QCOMPARE(w.edit->text(), QStringLiteral("2500"));
        QTest::keyClick(w.edit, Qt::Key_Tab);
        QCOMPARE(w.edit->text(), QStringLiteral("10"));
        QCoreApplication::processEvents();
        QVERIFY(w.edit->hasFocus());
        QCOMPARE(w.edit->selectedText(), QStringLiteral("10"));

        // An accepted value leaves normally.
        SelectAllAndType(w.edit, QStringLiteral("1500"));
        QTest::mouseClick(w.other, Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(w.other->hasFocus());
        QCOMPARE(w.edit->Value(), Extended{1500});
        QVERIFY(w.edit->messages.isEmpty());
    }

    void decimalsAreLimitedAfterTheSeparator() {
        TFocusWindow w;
        QVERIFY(w.Start());
        SelectAllAndType(w.edit, QStringLiteral("3.5"));
        QTest::keyClicks(w.edit, QStringLiteral("7"));
        QCOMPARE(w.edit->text(), QStringLiteral("3.5"));
        // Before the separator digits are still welcome.
        QTest::keyClick(w.edit, Qt::Key_Home);
        QTest::keyClicks(w.edit, QStringLiteral("7"));
        QCOMPARE(w.edit->text(), QStringLiteral("73.5"));
        // A second separator and letters are refused, backspace passes.
        QTest::keyClicks(w.edit, QStringLiteral(".a e"));
        QCOMPARE(w.edit->text(), QStringLiteral("73.5"));
        QTest::keyClick(w.edit, Qt::Key_End);
        QTest::keyClick(w.edit, Qt::Key_Backspace);
        QCOMPARE(w.edit->text(), QStringLiteral("73."));
        QTest::keyClicks(w.edit, QStringLiteral("9"));
        QCOMPARE(w.edit->Value(), 73.9L);
    }

    void emptyFieldReadsZeroOrMin() {
        TFloatEdit edit;
        edit.SetMin(-5);
        edit.setText(QString());
        QCOMPARE(edit.Value(), Extended{0});
        edit.setText(QStringLiteral("-"));
        QCOMPARE(edit.Value(), Extended{0});
        edit.SetMin(2.5L);
        edit.setText(QString());
        QCOMPARE(edit.Value(), 2.5L);
    }

    void loneMinusAndSeparatorBecomeNumbers() {
        TFocusWindow w;
        w.edit->SetMin(-100);
        w.edit->SetDigits(2);
        QVERIFY(w.Start());

        w.edit->clear();
        QTest::keyClicks(w.edit, QStringLiteral("-"));
        QCOMPARE(w.edit->text(), QStringLiteral("-0"));
        QCOMPARE(w.edit->selectionStart(), 1);
        QCOMPARE(w.edit->selectedText(), QStringLiteral("0"));
        QTest::keyClicks(w.edit, QStringLiteral("5-"));
        QCOMPARE(w.edit->text(), QStringLiteral("-5"));

        w.edit->clear();
        QTest::keyClicks(w.edit, QStringLiteral("."));
        QCOMPARE(w.edit->text(), QStringLiteral("0.0"));
        QCOMPARE(w.edit->selectionStart(), 2);
        QCOMPARE(w.edit->selectedText(), QStringLiteral("0"));
        QTest::keyClicks(w.edit, QStringLiteral("75"));
        QCOMPARE(w.edit->text(), QStringLiteral("0.75"));

        // "-" only at the front, and only once.
        w.edit->clear();
        QTest::keyClicks(w.edit, QStringLiteral("4-"));
        QCOMPARE(w.edit->text(), QStringLiteral("4"));
        QTest::keyClick(w.edit, Qt::Key_Home);
        QTest::keyClicks(w.edit, QStringLiteral("-"));
        QCOMPARE(w.edit->text(), QStringLiteral("-4"));
        QCOMPARE(w.edit->Value(), Extended{-4});
    }

    void minusNeedsNegativeMinimum() {
        TFocusWindow w;
        QVERIFY(w.Start());
        w.edit->clear();
        QTest::keyClicks(w.edit, QStringLiteral("-3"));
        QCOMPARE(w.edit->text(), QStringLiteral("3"));
    }

    void escapeRestoresAndEnterIsReported() {
        TFocusWindow w;
        w.edit->SetValue(12.3L);
        QVERIFY(w.Start());
        QSignalSpy enter(w.edit, &TFloatEdit::enterPressed);

        SelectAllAndType(w.edit, QStringLiteral("45.6"));
        QTest::keyClick(w.edit, Qt::Key_Return);
        QCOMPARE(enter.count(), 1);
        QCOMPARE(w.edit->text(), QStringLiteral("45.6"));
        QTest::keyClick(w.edit, Qt::Key_Enter);
        QCOMPARE(enter.count(), 2);

        QTest::keyClick(w.edit, Qt::Key_Escape);
        QCOMPARE(w.edit->text(), QStringLiteral("12.3"));
        QCOMPARE(w.edit->selectedText(), QStringLiteral("12.3"));
    }

    void acceptedTextIsRewrittenOnLeave() {
        TFocusWindow w;
        w.edit->SetDigits(2);
        QVERIFY(w.Start());
        QSignalSpy exited(w.edit, &TFloatEdit::exited);
        SelectAllAndType(w.edit, QStringLiteral("3.5"));
        QTest::keyClick(w.edit, Qt::Key_Tab);
        QVERIFY(w.other->hasFocus());
        QCOMPARE(w.edit->text(), QStringLiteral("3.50"));
        QCOMPARE(w.edit->Value(), 3.5L);
        QCOMPARE(exited.count(), 2);

        // Text that is no number is replaced by the value from before.
        w.edit->setFocus(Qt::OtherFocusReason);
        w.edit->setText(QStringLiteral("x1"));
        w.edit->SetErrorMessage(QStringLiteral("Please enter a number"));
        QTest::keyClick(w.edit, Qt::Key_Tab);
        QCOMPARE(w.edit->text(), QStringLiteral("3.50"));
        QCoreApplication::processEvents();
        QVERIFY(w.edit->hasFocus());
        QCOMPARE(w.edit->messages, QStringList{QStringLiteral("Please enter a number")});
    }

    void localeSeparator() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TFocusWindow w;
        QLocale::setDefault(QLocale::c());
        QCOMPARE(w.edit->DecimalSeparator(), QChar(','));
        w.edit->SetValue(2.5L);
        QCOMPARE(w.edit->text(), QStringLiteral("2,5"));
        QVERIFY(w.Start());
        SelectAllAndType(w.edit, QStringLiteral("7.1"));
        QCOMPARE(w.edit->text(), QStringLiteral("71"));
        SelectAllAndType(w.edit, QStringLiteral("7,1"));
        QCOMPARE(w.edit->Value(), 7.1L);
    }
};

int RunFloatEditTests(int argc, char** argv) {
    TFloatEditTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "FloatEditTests.moc"
