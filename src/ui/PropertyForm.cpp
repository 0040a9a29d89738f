#include "ui/PropertyForm.h"

#include "simulation/Simulation.h"
#include "ui/BehaviourPages.h"
#include "ui/ObjectListBox.h"
#include "widgets/BugPropertyEdit.h"
#include "widgets/ColorButton.h"
#include "widgets/FloatEdit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kova {

namespace {

const char* const kBugCaption = "Bug Properties";
const char* const kGroupCaption = "Group Properties";
const char* const kTriggerCaption = "Trigger Properties";
const char* const kBugFrame = " Bug Properties ";
const char* const kGroupFrame = " Group Properties ";
const char* const kTriggerPropertiesFrame = " Trigger Properties ";
const char* const kTriggerFrame = " Trigger ";
const char* const kPropertiesFrame = " Properties ";
const char* const kNameLabel = "Name";
const char* const kOfPrefix = "of ";
const char* const kPositionLabel = "Position (x,y)";
const char* const kColourLabel = "Colour";
const char* const kMemberNameLabel = "Member Name";
const char* const kMemberCountLabel = "Member Count:";
const char* const kTypeLabel = "Type: ";
const char* const kTimeChoice = "Time";
const char* const kSpaceChoice = "Space";
const char* const kSecondLabel = "Second";
const char* const kFrameLabel = "Frame";
const char* const kShapeLabel = "Shape";
const char* const kAffectLabel = "Affect:";
const char* const kAffectGroup = "Group";
const char* const kAffectBug = "Bug";
const char* const kAddTriggerMenu = "Add Trigger";
const char* const kDeleteTrigger = "Delete Trigger";
const char* const kTriggerInUse = "Trigger already in use!";
const char* const kUseObjectBrowser = "Use the Object-Browser to edit this Trigger!";
const char* const kOkButton = "OK";
const char* const kCancelButton = "Cancel";

constexpr Extended kMaxValue = 99999999.9L;
// The window's size for every edit; larger where a mode's frames need more.
constexpr QSize kEditorSize(700, 600);

TFloatEdit* numberEdit(const char* objectName, int digits) {
    auto* edit = new TFloatEdit;
    edit->setObjectName(objectName);
    edit->SetDigits(digits);
    edit->SetMin(0);
    edit->SetMax(kMaxValue);
    return edit;
}

QLineEdit* textEdit(const char* objectName) {
    auto* edit = new QLineEdit;
    edit->setObjectName(objectName);
    return edit;
}

QGroupBox* frame(const char* objectName, const char* caption) {
    auto* box = new QGroupBox(caption);
    box->setObjectName(objectName);
    return box;
}

// Lays the window out at once, innermost layouts first. Frames shown or hidden
// for a mode otherwise reach the outer layouts only through posted events, so
// the window would take its size from the mode before.
void layOutNow(QWidget& window) {
    const QList<QWidget*> inner = window.findChildren<QWidget*>();
    for (auto widget = inner.crbegin(); widget != inner.crend(); ++widget)
        if (QLayout* layout = (*widget)->layout())
            layout->activate();
    window.layout()->activate();
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

TPropertyForm::TPropertyForm(TSimulation& simulation, const TObjectTree* browserTree,
                             QWidget* parent)
    : QDialog(parent), simulation_(simulation) {
    setObjectName("PropertyForm");
    setModal(true);
    buildBugFrame();
    buildGroupFrame();
    buildTriggerPropertiesFrame();
    buildTriggerFrame();
    buildCurrentValuesFrame();
    buildVariantValuesFrame();
    buildBehaviourArea();
    behaviours_->SetBrowserTree(browserTree);
    layOut();

    // Every control has defined contents before the first real edit.
    placeholderGroup_ = std::make_unique<TBugGroup>(nullptr);
    LoadGroup(*placeholderGroup_);
}

TPropertyForm::~TPropertyForm() = default;

void TPropertyForm::buildBugFrame() {
    bugFrame_ = frame("BugFrame", kBugFrame);
    bugNameEdit_ = textEdit("BugNameEdit");
    ofGroupLabel_ = new QLabel;
    ofGroupLabel_->setObjectName("OfGroupLabel");
    xPositionEdit_ = numberEdit("XPositionEdit", 1);
    yPositionEdit_ = numberEdit("YPositionEdit", 1);
    auto* grid = new QGridLayout(bugFrame_);
    grid->addWidget(new QLabel(kNameLabel), 0, 0);
    grid->addWidget(bugNameEdit_, 0, 1, 1, 2);
    grid->addWidget(ofGroupLabel_, 1, 1, 1, 2);
    grid->addWidget(new QLabel(kPositionLabel), 2, 0);
    grid->addWidget(xPositionEdit_, 2, 1);
    grid->addWidget(yPositionEdit_, 2, 2);
    grid->setRowStretch(3, 1);
}

void TPropertyForm::buildGroupFrame() {
    groupFrame_ = frame("GroupFrame", kGroupFrame);
    groupNameEdit_ = textEdit("GroupNameEdit");
    colorButton_ = new TColorButton;
    colorButton_->setObjectName("ColorButton");
    memberNameEdit_ = textEdit("MemberNameEdit");
    memberCountLabel_ = new QLabel;
    memberCountLabel_->setObjectName("MemberCountLabel");
    auto* grid = new QGridLayout(groupFrame_);
    grid->addWidget(new QLabel(kNameLabel), 0, 0);
    grid->addWidget(groupNameEdit_, 0, 1);
    grid->addWidget(new QLabel(kColourLabel), 0, 2);
    grid->addWidget(colorButton_, 0, 3);
    grid->addWidget(new QLabel(kMemberNameLabel), 1, 0);
    grid->addWidget(memberNameEdit_, 1, 1);
    grid->addWidget(new QLabel(kMemberCountLabel), 1, 2);
    grid->addWidget(memberCountLabel_, 1, 3);
    grid->setRowStretch(2, 1);
}

void TPropertyForm::buildTriggerPropertiesFrame() {
    triggerPropertiesFrame_ = frame("TriggerPropertiesFrame", kTriggerPropertiesFrame);
    triggerNameEdit_ = textEdit("TriggerNameEdit");
    secondEdit_ = numberEdit("SecondEdit", 0);
    frameEdit_ = numberEdit("FrameEdit", 0);
    // Only time triggers exist; the other choices are shown but do nothing.
    auto* time = new QRadioButton(kTimeChoice);
    time->setChecked(true);
    auto* space = new QRadioButton(kSpaceChoice);
    space->setEnabled(false);
    auto* shape = new QComboBox;
    shape->setObjectName("ShapeComboBox");
    shape->setEnabled(false);
    auto* affectGroup = new QRadioButton(kAffectGroup);
    affectGroup->setChecked(true);
    affectGroup->setEnabled(false);
    auto* affectBug = new QRadioButton(kAffectBug);
    affectBug->setEnabled(false);
    auto* affect = new QWidget;
    auto* affectRow = new QHBoxLayout(affect);
    affectRow->setContentsMargins(0, 0, 0, 0);
    affectRow->addWidget(affectGroup);
    affectRow->addWidget(affectBug);

    auto* grid = new QGridLayout(triggerPropertiesFrame_);
    grid->addWidget(new QLabel(kNameLabel), 0, 0);
    grid->addWidget(triggerNameEdit_, 0, 1, 1, 3);
    grid->addWidget(new QLabel(kTypeLabel), 1, 0);
    grid->addWidget(time, 1, 1);
    grid->addWidget(space, 1, 2);
    grid->addWidget(new QLabel(kSecondLabel), 2, 0);
    grid->addWidget(secondEdit_, 2, 1);
    grid->addWidget(new QLabel(kFrameLabel), 2, 2);
    grid->addWidget(frameEdit_, 2, 3);
    auto* shapeLabel = new QLabel(kShapeLabel);
    shapeLabel->setEnabled(false);
    grid->addWidget(shapeLabel, 3, 0);
    grid->addWidget(shape, 3, 1);
    auto* affectLabel = new QLabel(kAffectLabel);
    affectLabel->setEnabled(false);
    grid->addWidget(affectLabel, 3, 2);
    grid->addWidget(affect, 3, 3);
}

void TPropertyForm::buildTriggerFrame() {
    triggerFrame_ = frame("TriggerFrame", kTriggerFrame);
    triggerPopupMenu_ = new QMenu(this);
    triggerPopupMenu_->setObjectName("TriggerPopupMenu");
    addTriggerMenu_ = triggerPopupMenu_->addMenu(kAddTriggerMenu);
    addTriggerMenu_->setObjectName("AddTriggerMenu");
    QAction* remove = triggerPopupMenu_->addAction(kDeleteTrigger);

    triggerListBox_ = new TObjectListBox;
    triggerListBox_->setObjectName("TriggerListBox");
    triggerListBox_->SetPopupMenu(triggerPopupMenu_);
    connect(remove, &QAction::triggered, triggerListBox_, &TObjectListBox::DeleteSelected);
    connect(triggerListBox_, &QListWidget::itemDoubleClicked, this,
            [this] { showMessage(kUseObjectBrowser); });
    auto* layout = new QVBoxLayout(triggerFrame_);
    layout->addWidget(triggerListBox_);
}

void TPropertyForm::buildCurrentValuesFrame() {
    currentValuesFrame_ = frame("CurrentValuesFrame", kPropertiesFrame);
    diameterEdit_ = numberEdit("DiameterFloatEdit", 1);
    orientationEdit_ = numberEdit("OrientationFloatEdit", 1);
    massEdit_ = numberEdit("MassFloatEdit", 1);
    maxForceEdit_ = numberEdit("MaxForceFloatEdit", 1);
    maxSpeedEdit_ = numberEdit("MaxSpeedFloatEdit", 1);
    minSpeedEdit_ = numberEdit("MinSpeedFloatEdit", 1);
    currentSpeedEdit_ = numberEdit("CurrentSpeedFloatEdit", 1);
    // Three columns, as the template's values are laid out.
    struct TCell {
        const char* Caption;
        TFloatEdit* Edit;
        int Row;
        int Column;
    };
    const TCell cells[] = {{"Diameter (m)", diameterEdit_, 0, 0},
                           {"Mass (kg)", massEdit_, 0, 1},
                           {"Max. Speed (m/s)", maxSpeedEdit_, 0, 2},
                           {"Orientation (°)", orientationEdit_, 1, 0},
                           {"Max. Force (N)", maxForceEdit_, 1, 1},
                           {"Min. Speed (m/s)", minSpeedEdit_, 1, 2},
                           {"Current Speed (m/s)", currentSpeedEdit_, 2, 2}};
    auto* grid = new QGridLayout(currentValuesFrame_);
    for (const TCell& cell : cells) {
        grid->addWidget(new QLabel(cell.Caption), cell.Row, 2 * cell.Column);
        grid->addWidget(cell.Edit, cell.Row, 2 * cell.Column + 1);
    }
}

void TPropertyForm::buildVariantValuesFrame() {
    variantValuesFrame_ = frame("VariantValuesFrame", kPropertiesFrame);
    bugPropertyEdit_ = new TBugPropertyEdit;
    bugPropertyEdit_->setObjectName("BugPropertyEdit");
    auto* layout = new QVBoxLayout(variantValuesFrame_);
    layout->addWidget(bugPropertyEdit_);
}

void TPropertyForm::buildBehaviourArea() {
    behaviours_ = new TBehaviourArea;
    connect(behaviours_, &TBehaviourArea::message, this, &TPropertyForm::showMessage);
    // The window's own context menu is the steering behaviour menu.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { behaviours_->SBPopupMenu()->exec(mapToGlobal(at)); });
}

void TPropertyForm::layOut() {
    auto* top = new QHBoxLayout;
    top->addWidget(bugFrame_, 1);
    top->addWidget(groupFrame_, 1);
    top->addWidget(triggerPropertiesFrame_, 1);
    top->addWidget(triggerFrame_);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(kOkButton, QDialogButtonBox::AcceptRole);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    buttons->addButton(kCancelButton, QDialogButtonBox::RejectRole)->setObjectName("CancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &TPropertyForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TPropertyForm::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(currentValuesFrame_);
    layout->addWidget(variantValuesFrame_);
    layout->addWidget(behaviours_, 1);
    layout->addWidget(buttons);
    resize(kEditorSize);
}

// --- loading -----------------------------------------------------------------

void TPropertyForm::LoadBug(TBug& bug) {
    mode_ = TMode::Bug;
    bug_ = &bug;
    LoadForm();
}

void TPropertyForm::LoadGroup(TBugGroup& group) {
    mode_ = TMode::Group;
    group_ = &group;
    LoadForm();
}

void TPropertyForm::LoadTrigger(TTrigger& trigger) {
    mode_ = TMode::Trigger;
    trigger_ = &trigger;
    LoadForm();
}

void TPropertyForm::showEvent(QShowEvent* event) {
    // Un-minimising the window is no new edit.
    if (!event->spontaneous()) {
        behaviours_->ClearPages();
        LoadForm();
        behaviours_->ApplyCombination(behaviours_->Combination());
        // The mode's frames are in place: each edit starts at the same size
        // for its mode rather than at the largest an earlier edit needed.
        layOutNow(*this);
        resize(kEditorSize.expandedTo(minimumSizeHint()));
    }
    QDialog::showEvent(event);
}

void TPropertyForm::LoadForm() {
    behaviours_->EnableBehaviours(true);
    rebuildTriggerMenu();
    behaviours_->RebuildObstacleMenu(simulation_.Obstacles);
    showFrames();
    applyToMembers_ = false;
    std::uint8_t combination = 0;
    switch (mode_) {
    case TMode::Bug:
        setWindowTitle(kBugCaption);
        loadBug(*bug_);
        combination = bug_->CombinationMethod;
        break;
    case TMode::Trigger: {
        setWindowTitle(kTriggerCaption);
        triggerNameEdit_->setText(text(trigger_->Name));
        secondEdit_->SetValue(trigger_->Second);
        frameEdit_->SetValue(trigger_->Frame);
        loadTemplate(trigger_->Template);
        bugPropertyEdit_->SetCheckboxesVisible(true);
        combination = trigger_->Template.CombinationMethod;
        const QSignalBlocker quiet(behaviours_);
        behaviours_->setChecked(trigger_->ChangeBehaviours);
        behaviours_->EnableBehaviours(trigger_->ChangeBehaviours);
        break;
    }
    case TMode::Group:
        setWindowTitle(kGroupCaption);
        groupNameEdit_->setText(text(group_->Name));
        colorButton_->SetColor(group_->Color);
        memberCountLabel_->setText(QString::number(group_->Members.size()));
        loadTemplate(group_->Template);
        bugPropertyEdit_->SetCheckboxesVisible(false);
        combination = group_->Template.CombinationMethod;
        break;
    }
    behaviours_->SetCombination(combination);
}

void TPropertyForm::showFrames() {
    const bool bug = mode_ == TMode::Bug;
    const bool group = mode_ == TMode::Group;
    const bool trigger = mode_ == TMode::Trigger;
    bugFrame_->setVisible(bug);
    groupFrame_->setVisible(group);
    triggerPropertiesFrame_->setVisible(trigger);
    triggerFrame_->setVisible(!trigger);
    currentValuesFrame_->setVisible(bug);
    variantValuesFrame_->setVisible(!bug);
    behaviours_->SetSwitchable(trigger);
}

void TPropertyForm::loadBug(const TBug& bug) {
    bugNameEdit_->setText(text(bug.Name));
    xPositionEdit_->SetValue(bug.Position[0]);
    yPositionEdit_->SetValue(bug.Position[1]);
    orientationEdit_->SetValue(bug.Orientation());
    maxSpeedEdit_->SetValue(bug.MaxSpeed);
    minSpeedEdit_->SetValue(bug.MinSpeed);
    currentSpeedEdit_->SetValue(bug.CurrentSpeed);
    maxForceEdit_->SetValue(bug.MaxForce);
    massEdit_->SetValue(bug.Mass);
    diameterEdit_->SetValue(bug.Shape.Size[0]);
    ofGroupLabel_->setText(kOfPrefix + (bug.Group != nullptr ? text(bug.Group->Name) : QString()));
    behaviours_->LoadBehaviours(*bug.Behaviours);
    loadTriggerList(bug);
}

void TPropertyForm::loadTemplate(const TDefaultBug& tmpl) {
    memberNameEdit_->setText(text(tmpl.Name));
    bugPropertyEdit_->SetDiameterVariantValue(tmpl.DiameterVariantValue);
    bugPropertyEdit_->SetMaxForceVariantValue(tmpl.MaxForceVariantValue);
    bugPropertyEdit_->SetMinSpeedVariantValue(tmpl.MinSpeedVariantValue);
    bugPropertyEdit_->SetOrientationVariantValue(tmpl.OrientationVariantValue);
    bugPropertyEdit_->SetCurrentSpeedVariantValue(tmpl.CurrentSpeedVariantValue);
    bugPropertyEdit_->SetMaxSpeedVariantValue(tmpl.MaxSpeedVariantValue);
    bugPropertyEdit_->SetMassVariantValue(tmpl.MassVariantValue);
    behaviours_->LoadBehaviours(*tmpl.Behaviours);
    loadTriggerList(tmpl);
}

void TPropertyForm::loadTriggerList(const TBasisBug& object) {
    triggerListBox_->clear();
    for (TTrigger* trigger : object.Triggers)
        triggerListBox_->AddItem(text(trigger->Name), trigger);
}

void TPropertyForm::rebuildTriggerMenu() {
    addTriggerMenu_->clear();
    for (const auto& trigger : simulation_.Triggers) {
        TTrigger* chosen = trigger.get();
        QAction* item = addTriggerMenu_->addAction(text(chosen->Name));
        connect(item, &QAction::triggered, this, [this, chosen] { addTrigger(chosen); });
    }
}

void TPropertyForm::addTrigger(TTrigger* trigger) {
    if (triggerListBox_->Contains(trigger)) {
        showMessage(kTriggerInUse);
        return;
    }
    triggerListBox_->AddItem(text(trigger->Name), trigger);
}

void TPropertyForm::showMessage(const QString& message) {
    QMessageBox::information(this, windowTitle(), message);
}

} // namespace kova
