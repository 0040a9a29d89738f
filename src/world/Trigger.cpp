#include "world/Trigger.h"

#include "foundations/Streams.h"

namespace kova {

TTrigger::TTrigger(std::string name) {
    Name = std::move(name);
    for (TVariantExtended* value :
         {&Template.DiameterVariantValue, &Template.MaxForceVariantValue,
          &Template.MinSpeedVariantValue, &Template.OrientationVariantValue,
          &Template.CurrentSpeedVariantValue, &Template.MaxSpeedVariantValue,
          &Template.MassVariantValue})
        value->Apply = false;
}

void TTrigger::Fire(TBug& bug) const {
    if (ChangeBehaviours)
        bug.Behaviours = Template.Behaviours;

    // The draw order fixes which random number each value gets.
    const TDefaultBug& t = Template;
    if (t.MassVariantValue.Apply)
        bug.SetMass(t.MassVariantValue.DrawValue());
    if (t.MaxSpeedVariantValue.Apply)
        bug.SetMaxSpeed(t.MaxSpeedVariantValue.DrawValue());
    if (t.MinSpeedVariantValue.Apply)
        bug.SetMinSpeed(t.MinSpeedVariantValue.DrawValue());
    if (t.CurrentSpeedVariantValue.Apply)
        bug.SetCurrentSpeed(t.CurrentSpeedVariantValue.DrawValue());
    if (t.OrientationVariantValue.Apply)
        bug.SetOrientation(t.OrientationVariantValue.DrawValue());
    if (t.MaxForceVariantValue.Apply)
        bug.SetMaxForce(t.MaxForceVariantValue.DrawValue());
    if (t.DiameterVariantValue.Apply) {
        const Extended diameter = t.DiameterVariantValue.DrawValue();
        bug.Shape.Size = Vector(diameter, diameter);
    }

    if (ChangeBehaviours)
        bug.SetCombinationMethod(Template.CombinationMethod);
}

void TTrigger::SaveToStream(TStream& stream) const {
    TNamedObject::SaveToStream(stream);
    TWriter writer(stream);
    writer.WriteInteger(Second);
    writer.WriteInteger(Frame);
    writer.WriteBoolean(ChangeBehaviours);
    writer.WriteBoolean(ReservedFlag);
    writer.Release();
    stream.WriteByte(ReservedByte);
    Template.SaveToStream(stream);
}

void TTrigger::LoadFromStream(TStream& stream) {
    TNamedObject::LoadFromStream(stream);
    TReader reader(stream);
    Second = reader.ReadInteger();
    Frame = reader.ReadInteger();
    ChangeBehaviours = reader.ReadBoolean();
    ReservedFlag = reader.ReadBoolean();
    reader.Release();
    stream.ReadRecordByte(ReservedByte);
    Template.LoadFromStream(stream);
}

} // namespace kova
