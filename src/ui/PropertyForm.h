#pragma once

#include <QDialog>

#include <cstdint>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;

namespace kova {

class TBasisBug;
class TBehaviourArea;
class TBug;
class TBugGroup;
class TBugPropertyEdit;
class TColorButton;
class TDefaultBug;
class TFloatEdit;
class TObjectListBox;
class TObjectTree;
class TSimulation;
class TTrigger;

// The property editor: one modal window that edits a bug, a group with its
// template, or a trigger with its template. It is loaded from the object,
// edits copies of the object's steering behaviours, and writes everything
// back when it closes with OK; Cancel writes nothing.
class TPropertyForm : public QDialog {
    Q_OBJECT
public:
    enum class TMode { Bug, Group, Trigger };

    // The behaviour pages' target trees show the nodes of `browserTree` (may be null).
    TPropertyForm(TSimulation& simulation, const TObjectTree* browserTree,
                  QWidget* parent = nullptr);
    ~TPropertyForm() override;

    // Each sets the mode and the edited object and loads the window from it.
    void LoadBug(TBug& bug);
    void LoadGroup(TBugGroup& group);
    void LoadTrigger(TTrigger& trigger);

    TMode Mode() const { return mode_; }
    // The user agreed, on the last OK in group mode, to apply the template to
    // every member.
    bool ApplyToMembers() const { return applyToMembers_; }
    TBehaviourArea& Behaviours() const { return *behaviours_; }
    QMenu* TriggerPopupMenu() const { return triggerPopupMenu_; }

    // OK: in group mode with members, asks whether to apply the template to
    // them; then writes the object back and closes.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildBugFrame();
    void buildGroupFrame();
    void buildTriggerPropertiesFrame();
    void buildTriggerFrame();
    void buildCurrentValuesFrame();
    void buildVariantValuesFrame();
    void buildBehaviourArea();
    void layOut();

    // Fills every control from the edited object.
    void LoadForm();
    void showFrames();
    void loadBug(const TBug& bug);
    void loadTemplate(const TDefaultBug& tmpl);
    void loadTriggerList(const TBasisBug& object);
    void rebuildTriggerMenu();
    void addTrigger(TTrigger* trigger);
    void showMessage(const QString& text);

    // The write-back of each mode (PropertyFormWriteBack.cpp).
    void writeBug(TBug& bug);
    void writeGroup(TBugGroup& group);
    void writeTrigger(TTrigger& trigger);
    void writeTemplate(TDefaultBug& tmpl);
    void writeTemplateBehaviours(TDefaultBug& tmpl);

    TSimulation& simulation_;
    TMode mode_ = TMode::Group;
    TBug* bug_ = nullptr;
    TBugGroup* group_ = nullptr;
    TTrigger* trigger_ = nullptr;
    bool applyToMembers_ = false;
    // What the window shows before its first real use.
    std::unique_ptr<TBugGroup> placeholderGroup_;

    QGroupBox* bugFrame_;
    QLineEdit* bugNameEdit_;
    QLabel* ofGroupLabel_;
    TFloatEdit* xPositionEdit_;
    TFloatEdit* yPositionEdit_;

    QGroupBox* groupFrame_;
    QLineEdit* groupNameEdit_;
    TColorButton* colorButton_;
    QLineEdit* memberNameEdit_;
    QLabel* memberCountLabel_;

    QGroupBox* triggerPropertiesFrame_;
    QLineEdit* triggerNameEdit_;
    TFloatEdit* secondEdit_;
    TFloatEdit* frameEdit_;

    QGroupBox* triggerFrame_;
    TObjectListBox* triggerListBox_;
    QMenu* triggerPopupMenu_;
    QMenu* addTriggerMenu_;

    QGroupBox* currentValuesFrame_;
    TFloatEdit* diameterEdit_;
    TFloatEdit* orientationEdit_;
    TFloatEdit* massEdit_;
    TFloatEdit* maxForceEdit_;
    TFloatEdit* maxSpeedEdit_;
    TFloatEdit* minSpeedEdit_;
    TFloatEdit* currentSpeedEdit_;

    QGroupBox* variantValuesFrame_;
    TBugPropertyEdit* bugPropertyEdit_;

    // In trigger mode its title is the check box that switches the trigger's
    // behaviours on and off.
    TBehaviourArea* behaviours_;
};

} // namespace kova
