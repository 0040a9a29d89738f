#include "WidgetsTests.h"

#include "widgets/BugPropertyEdit.h"
#include "widgets/FloatEdit.h"
#include "widgets/RandomFloatEdit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <functional>

using kova::Extended;
using kova::TBugPropertyEdit;
using kova::TFloatEdit;
using kova::TRandomFloatEdit;
using kova::TVariantExtended;

namespace {

template <typename T> T* Part(const QWidget& owner, const char* name) {
    T* part = owner.findChild<T*>(QString::fromLatin1(name));
    if (part == nullptr)
        qFatal("missing part %s", name);
    return part;
}

TVariantExtended Variant(bool apply, Extended base, int difference, kova::VarianceType mode) {
    TVariantExtended value;
    value.Apply = apply;
    value.BaseValue = base;
    value.Difference = static_cast<std::uint8_t>(difference);
    value.SignMode = mode;
    return value;
}

} // namespace

class TRandomFloatEditTests : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void defaults() {
        TRandomFloatEdit edit;
        QVERIFY(edit.Checked());
        QVERIFY(edit.CheckboxVisible());
        QCOMPARE(Part<QCheckBox>(edit, "ApplyCheckBox")->text(), QString());
        QCOMPARE(Part<TFloatEdit>(edit, "BaseValueEdit")->text(), QStringLiteral("0.0"));
        QCOMPARE(Part<QToolButton>(edit, "SignButton")->text(), QStringLiteral("+"));
        QCOMPARE(Part<QLineEdit>(edit, "DifferenceEdit")->text(), QStringLiteral("0%"));
        QVERIFY(Part<QLineEdit>(edit, "DifferenceEdit")->isReadOnly());
        QCOMPARE(edit.Max(), 99999999.9L);
        QCOMPARE(edit.Digits(), 1);
        QCOMPARE(edit.VariantValue(), Variant(true, 0, 0, kova::vtplus));
    }

    void signButtonCycles() {
        TRandomFloatEdit edit;
        auto* sign = Part<QToolButton>(edit, "SignButton");
        const std::array<std::pair<QString, kova::VarianceType>, 4> expected = {{
            {QStringLiteral("-"), kova::vtminus},
            {QStringLiteral("\u00B1"), kova::vtplusminus},
            {QStringLiteral("+"), kova::vtplus},
            {QStringLiteral("-"), kova::vtminus},
        }};
        for (const auto& [caption, mode] : expected) {
            QTest::mouseClick(sign, Qt::LeftButton);
            QCOMPARE(sign->text(), caption);
            QCOMPARE(edit.CurrentDifference(), mode);
        }
        edit.SetCurrentDifference(kova::vtplusminus);
        QCOMPARE(sign->text(), QStringLiteral("\u00B1"));
    }

    void differenceStaysWithinZeroToHundred() {
        TRandomFloatEdit edit;
        auto* up = Part<QToolButton>(edit, "DifferenceUpButton");
        auto* down = Part<QToolButton>(edit, "DifferenceDownButton");
        auto* shown = Part<QLineEdit>(edit, "DifferenceEdit");

        QTest::mouseClick(down, Qt::LeftButton);
        QCOMPARE(edit.DiffValue(), 0);
        QTest::mouseClick(up, Qt::LeftButton);
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(edit.DiffValue(), 2);
        QCOMPARE(shown->text(), QStringLiteral("2%"));

        edit.SetDiffValue(99);
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(shown->text(), QStringLiteral("100%"));
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(edit.DiffValue(), 100);
        QCOMPARE(shown->text(), QStringLiteral("100%"));
        QTest::mouseClick(down, Qt::LeftButton);
        QCOMPARE(edit.DiffValue(), 99);

        edit.SetDiffValue(1);
        QTest::mouseClick(down, Qt::LeftButton);
        QTest::mouseClick(down, Qt::LeftButton);
        QCOMPARE(edit.DiffValue(), 0);
        QCOMPARE(shown->text(), QStringLiteral("0%"));

        edit.SetDiffValue(250);
        QCOMPARE(edit.DiffValue(), 100);
    }

    void checkBoxEnablesTheOtherParts() {
        QWidget window;
        auto* edit = new TRandomFloatEdit(&window);
        new QVBoxLayout(&window);
        window.layout()->addWidget(edit);
        window.show();
        const std::array<QWidget*, 5> parts = {
            Part<QWidget>(*edit, "BaseValueEdit"), Part<QWidget>(*edit, "SignButton"),
            Part<QWidget>(*edit, "DifferenceEdit"), Part<QWidget>(*edit, "DifferenceUpButton"),
            Part<QWidget>(*edit, "DifferenceDownButton")};
        auto* box = Part<QCheckBox>(*edit, "ApplyCheckBox");
        auto allEnabled = [&](bool enabled) {
            return std::all_of(parts.begin(), parts.end(),
                               [enabled](QWidget* part) { return part->isEnabled() == enabled; });
        };
        QVERIFY(allEnabled(true));

        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(!edit->Checked());
        QVERIFY(allEnabled(false));
        // A disabled up button does not change the difference.
        QTest::mouseClick(parts[3], Qt::LeftButton);
        QCOMPARE(edit->DiffValue(), 0);
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(allEnabled(true));

        edit->SetVariantValue(Variant(false, 3, 4, kova::vtminus));
        QVERIFY(allEnabled(false));
        QVERIFY(box->isEnabled());
        edit->SetChecked(true);
        QVERIFY(allEnabled(true));

        edit->SetCheckboxVisible(false);
        QVERIFY(!edit->CheckboxVisible());
        QVERIFY(!box->isVisible());
        edit->SetCheckboxVisible(true);
        QVERIFY(box->isVisible());
    }

    void variantValueRoundTrip() {
        TRandomFloatEdit edit;
        const TVariantExtended value = Variant(false, 42.5L, 17, kova::vtplusminus);
        edit.SetVariantValue(value);
        QCOMPARE(edit.ValueBase(), 42.5L);
        QCOMPARE(edit.DiffValue(), 17);
        QCOMPARE(edit.CurrentDifference(), kova::vtplusminus);
        QVERIFY(!edit.Checked());
        const TVariantExtended first = edit.VariantValue();
        const TVariantExtended second = edit.VariantValue();
        QCOMPARE(first, value);
        QCOMPARE(second, first);

        // The base value field's range and decimals apply.
        edit.SetMax(10);
        QCOMPARE(edit.ValueBase(), Extended{10});
        edit.SetDigits(2);
        edit.SetValueBase(3.456L);
        QCOMPARE(Part<TFloatEdit>(edit, "BaseValueEdit")->text(), QStringLiteral("3.46"));
        edit.SetMin(5);
        QCOMPARE(edit.ValueBase(), Extended{5});
        QCOMPARE(edit.Min(), Extended{5});
    }

    void typedBaseValueReachesTheVariant() {
        QWidget window;
        auto* edit = new TRandomFloatEdit(&window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(edit);
        QVERIFY(kova::test::ShowActive(window));
        auto* base = Part<TFloatEdit>(*edit, "BaseValueEdit");
        base->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(base, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(base, QStringLiteral("12.5"));
        QCOMPARE(edit->VariantValue().BaseValue, 12.5L);
    }

    void bugPropertyEditLabelsAndLimits() {
        TBugPropertyEdit panel;
        QStringList labels;
        for (const QLabel* label : panel.findChildren<QLabel*>())
            labels.append(label->text());
        QCOMPARE(labels, (QStringList{"Diameter (m)", "Mass (kg)", "Max. Speed (m/s)",
                                      QStringLiteral("Orientation (\u00B0)"), "Max. Force (N)",
                                      "Min. Speed (m/s)", "Current Speed  (m/s)"}));
        for (const TRandomFloatEdit* edit : panel.findChildren<TRandomFloatEdit*>()) {
            QCOMPARE(edit->Min(), Extended{0});
            QVERIFY(edit->Checked());
            const Extended expectedMax =
                edit->objectName() == QStringLiteral("OrientationEdit") ? 359 : 99999999.9L;
            QCOMPARE(edit->Max(), expectedMax);
        }
        TVariantExtended wide = Variant(true, 500, 0, kova::vtplus);
        panel.SetOrientationVariantValue(wide);
        QCOMPARE(panel.OrientationVariantValue().BaseValue, Extended{359});
        panel.SetMassVariantValue(wide);
        QCOMPARE(panel.MassVariantValue().BaseValue, Extended{500});
    }

    void bugPropertyEditOrientationRefusesTyping400() {
        QWidget window;
        auto* panel = new TBugPropertyEdit(&window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(panel);
        panel->SetOrientationVariantValue(Variant(true, 90, 0, kova::vtplus));
        QVERIFY(kova::test::ShowActive(window));
        auto* orientation = Part<TRandomFloatEdit>(*panel, "OrientationEdit");
        auto* base = Part<TFloatEdit>(*orientation, "BaseValueEdit");
        base->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(base, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(base, QStringLiteral("400"));
        QTest::keyClick(base, Qt::Key_Tab);
        QCOMPARE(panel->OrientationVariantValue().BaseValue, Extended{90});
        QCoreApplication::processEvents();
        QVERIFY(base->hasFocus());
        QCOMPARE(base->selectedText(), QStringLiteral("90.0"));
        QTest::keyClicks(base, QStringLiteral("359"));
        QTest::keyClick(base, Qt::Key_Tab);
        QCOMPARE(panel->OrientationVariantValue().BaseValue, Extended{359});
    }

    void bugPropertyEditKeepsEachValueApart() {
        TBugPropertyEdit panel;
        using Setter = void (TBugPropertyEdit::*)(const TVariantExtended&);
        using Getter = TVariantExtended (TBugPropertyEdit::*)() const;
        const std::array<std::pair<Setter, Getter>, 7> properties = {{
            {&TBugPropertyEdit::SetDiameterVariantValue, &TBugPropertyEdit::DiameterVariantValue},
            {&TBugPropertyEdit::SetMaxForceVariantValue, &TBugPropertyEdit::MaxForceVariantValue},
            {&TBugPropertyEdit::SetMinSpeedVariantValue, &TBugPropertyEdit::MinSpeedVariantValue},
            {&TBugPropertyEdit::SetOrientationVariantValue,
             &TBugPropertyEdit::OrientationVariantValue},
            {&TBugPropertyEdit::SetCurrentSpeedVariantValue,
             &TBugPropertyEdit::CurrentSpeedVariantValue},
            {&TBugPropertyEdit::SetMaxSpeedVariantValue, &TBugPropertyEdit::MaxSpeedVariantValue},
            {&TBugPropertyEdit::SetMassVariantValue, &TBugPropertyEdit::MassVariantValue},
        }};
        const std::array<kova::VarianceType, 3> modes = {kova::vtplus, kova::vtminus,
                                                         kova::vtplusminus};
        for (std::size_t i = 0; i < properties.size(); ++i) {
            const auto n = static_cast<int>(i);
            std::invoke(properties[i].first, panel,
                        Variant(n % 2 == 0, 10 + n, 5 * n, modes[i % modes.size()]));
        }
        for (std::size_t i = 0; i < properties.size(); ++i) {
            const auto n = static_cast<int>(i);
            QCOMPARE(std::invoke(properties[i].second, panel),
                     Variant(n % 2 == 0, 10 + n, 5 * n, modes[i % modes.size()]));
        }
    }

    void bugPropertyEditCheckboxesAndTabOrder() {
        TBugPropertyEdit panel;
        const QList<TRandomFloatEdit*> edits = panel.findChildren<TRandomFloatEdit*>();
        QCOMPARE(edits.size(), 7);
        QVERIFY(panel.CheckboxesVisible());
        panel.SetCheckboxesVisible(false);
        QVERIFY(!panel.CheckboxesVisible());
        for (const TRandomFloatEdit* edit : edits)
            QVERIFY(!edit->CheckboxVisible());
        panel.SetCheckboxesVisible(true);
        for (const TRandomFloatEdit* edit : edits)
            QVERIFY(edit->CheckboxVisible());

        // The order in which Tab visits the base value fields.
        QStringList visited;
        QWidget* widget = &panel;
        do {
            widget = widget->nextInFocusChain();
            if (widget->objectName() == QStringLiteral("BaseValueEdit"))
                visited.append(widget->parentWidget()->objectName());
        } while (widget != &panel);
        QCOMPARE(visited,
                 (QStringList{"MaxSpeedEdit", "MinSpeedEdit", "CurrentSpeedEdit", "MassEdit",
                              "MaxForceEdit", "DiameterEdit", "OrientationEdit"}));
    }
};

int RunRandomFloatEditTests(int argc, char** argv) {
    TRandomFloatEditTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "RandomFloatEditTests.moc"
