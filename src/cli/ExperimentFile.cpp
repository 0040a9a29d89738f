#include "cli/ExperimentFile.h"

#include "analysis/GroupStatistics.h"
#include "cli/ExtendedText.h"
#include "cli/SceneFields.h"
#include "cli/SceneJson.h"
#include "foundations/Fnv.h"
#include "simulation/MotionData.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace kova {

namespace {

// Runs beyond this many are refused: their result files alone would fill a
// folder beyond what a file system lists comfortably.
constexpr std::size_t kMaxRuns = 10000000;

// Records where each value of a JSON text starts, under the path the readers
// use ("variables[0].values[2]"). The text has been parsed already, so it is
// valid JSON and the walk need not check it.
class TPositionScanner {
public:
    TPositionScanner(const std::string& text, std::map<std::string, std::string>& places)
        : text_(text), places_(places) {
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n')
                lineStarts_.push_back(i + 1);
    }

    void Scan() { value(""); }

private:
    std::string place(std::size_t offset) const {
        const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
        const std::size_t line = static_cast<std::size_t>(next - lineStarts_.begin());
        return "line " + std::to_string(line) + ", column " +
               std::to_string(offset - lineStarts_[line - 1] + 1);
    }

    void skipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }

    // A string's text with the simple escapes undone; \u escapes stay as they
    // are, which only costs their keys a place.
    std::string string() {
        std::string text;
        for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
            if (text_[at_] == '\\' && at_ + 1 < text_.size()) {
                const char c = text_[++at_];
                const char* escapes = "\"\"\\\\//b\bf\fn\nr\rt\t";
                const char* found = nullptr;
                for (const char* e = escapes; *e != '\0'; e += 2)
                    if (*e == c)
                        found = e;
                text += found != nullptr ? found[1] : c;
            } else {
                text += text_[at_];
            }
        }
        ++at_;
        return text;
    }

    void value(const std::string& path) {
        skipSpace();
        if (at_ >= text_.size())
            return;
        places_.emplace(path, place(at_));
        const char c = text_[at_];
        if (c == '{' || c == '[') {
            ++at_;
            for (std::size_t index = 0;; ++index) {
                skipSpace();
                if (at_ >= text_.size() || text_[at_] == '}' || text_[at_] == ']')
                    break;
                if (c == '{') {
                    const std::string key = string();
                    skipSpace();
                    ++at_; // ':'
                    value(FieldPath(path, key));
                } else {
                    value(IndexPath(path, index));
                }
                skipSpace();
                if (at_ < text_.size() && text_[at_] == ',')
                    ++at_;
            }
            ++at_;
        } else if (c == '"') {
            string();
        } else {
            while (at_ < text_.size() &&
                   std::string_view(",]} \t\r\n").find(text_[at_]) == std::string_view::npos)
                ++at_;
        }
    }

    const std::string& text_;
    std::map<std::string, std::string>& places_;
    std::vector<std::size_t> lineStarts_ = {0};
    std::size_t at_ = 0;
};

// One object of the experiment file: hands out its fields by name and refuses
// every other key but comments.
class TFields {
public:
    TFields(const TExperiment& experiment, const TSceneJson& object, std::string path)
        : experiment_(experiment), object_(object), path_(std::move(path)) {
        if (!object.is_object())
            experiment.Fail(path_, "expected an object");
    }

    const TSceneJson* Find(const std::string& key) {
        used_.insert(key);
        const auto it = object_.find(key);
        return it == object_.end() ? nullptr : &*it;
    }
    const TSceneJson& Need(const std::string& key, const std::string& what) {
        const TSceneJson* value = Find(key);
        if (value == nullptr)
            experiment_.Fail(path_, "\"" + key + "\" is missing: " + what);
        return *value;
    }
    std::string Path(const std::string& key) const { return FieldPath(path_, key); }

    void Finish() const {
        for (const auto& item : object_.items())
            if (!IsCommentKey(item.key()) && used_.count(item.key()) == 0) {
                std::string known;
                for (const std::string& key : used_)
                    known += (known.empty() ? "" : ", ") + key;
                experiment_.Fail(Path(item.key()), "unknown field; expected " + known);
            }
    }

private:
    const TExperiment& experiment_;
    const TSceneJson& object_;
    std::string path_;
    std::set<std::string> used_;
};

std::uint64_t readUnsigned(const TExperiment& e, const TSceneJson& value, const std::string& path,
                           std::uint64_t lowest, std::uint64_t highest) {
    const bool whole =
        value.is_number_unsigned() || (value.is_number_integer() && value.get<std::int64_t>() >= 0);
    if (!whole || value.get<std::uint64_t>() < lowest || value.get<std::uint64_t>() > highest)
        e.Fail(path, "expected a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest));
    return value.get<std::uint64_t>();
}

const std::string& readString(const TExperiment& e, const TSceneJson& value,
                              const std::string& path) {
    if (!value.is_string() || value.get_ref<const std::string&>().empty())
        e.Fail(path, "expected a text");
    return value.get_ref<const std::string&>();
}

double readNumber(const TExperiment& e, const TSceneJson& value, const std::string& path) {
    if (!value.is_number())
        e.Fail(path, "expected a number");
    const double number = value.get<double>();
    if (!std::isfinite(number))
        e.Fail(path, "expected a finite number");
    return number;
}

TClockTime readClock(const TExperiment& e, const TSceneJson& value, const std::string& path) {
    std::string text = value.is_string() ? value.get<std::string>() : std::string();
    if (!value.is_string() || !ClockTimeValidator()(text).empty())
        e.Fail(path, "expected \"SEC:FRAME\", for example \"12:0\"");
    return ParseClockTime(text);
}

std::string hashText(const std::string& a, const std::string& b) {
    TFnv1a hash;
    for (const std::string* text : {&a, &b}) {
        hash.Add(text->data(), text->size());
        hash.AddByte(0xff);
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash.Value()));
    return hex;
}

bool isKvz(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".kvz";
}

void readScene(TExperiment& e, TFields& root, std::string& sceneBytes) {
    const std::string& name =
        readString(e, root.Need("scene", "the base scene's file"), root.Path("scene"));
    e.SceneName = name;
    std::filesystem::path path(name);
    if (path.is_relative())
        path = std::filesystem::path(e.File).parent_path() / path;
    e.ScenePath = path.lexically_normal().string();
    try {
        sceneBytes = ReadTextFile(e.ScenePath);
        if (isKvz(e.ScenePath)) {
            TSimulation simulation;
            OpenSimulationFile(simulation, e.ScenePath);
            e.Scene = DumpSimulation(simulation);
        } else {
            e.Scene = ParseSceneText(sceneBytes);
        }
    } catch (const ESceneError& error) {
        e.Fail(root.Path("scene"), QuotedPath(e.ScenePath) + ": " + error.what());
    } catch (const std::exception& error) {
        e.Fail(root.Path("scene"), error.what());
    }
    if (!e.Scene.is_object())
        e.Fail(root.Path("scene"), QuotedPath(e.ScenePath) + " is not a scene (a JSON object)");
}

// A range's values: from, from + step, ... up to `to` (a rounding error's
// worth past it included). Whole numbers stay whole; other values are rounded
// to 15 significant digits, so that 0.1 steps give 0.3 and not
// 0.30000000000000004.
std::vector<TSceneJson> rangeValues(const TExperiment& e, const TSceneJson& value,
                                    const std::string& path) {
    TFields fields(e, value, path);
    const TSceneJson& fromValue = fields.Need("from", "the first value");
    const TSceneJson& toValue = fields.Need("to", "the last value");
    const TSceneJson& stepValue = fields.Need("step", "the difference between values");
    const double from = readNumber(e, fromValue, fields.Path("from"));
    const double to = readNumber(e, toValue, fields.Path("to"));
    const double step = readNumber(e, stepValue, fields.Path("step"));
    fields.Finish();
    const double steps = step == 0 ? -1 : (to - from) / step;
    if (!(steps >= -1e-9))
        e.Fail(path, "the range is empty: a step of " + ValueText(stepValue) + " never goes from " +
                         ValueText(fromValue) + " to " + ValueText(toValue));
    if (steps >= static_cast<double>(kMaxRuns))
        e.Fail(path, "the range has more than " + std::to_string(kMaxRuns) + " values");
    const auto count = static_cast<std::size_t>(std::floor(steps + 1e-9)) + 1;
    const bool whole = fromValue.is_number_integer() && toValue.is_number_integer() &&
                       stepValue.is_number_integer();
    std::vector<TSceneJson> values;
    for (std::size_t i = 0; i < count; ++i) {
        if (whole) {
            values.emplace_back(fromValue.get<std::int64_t>() +
                                static_cast<std::int64_t>(i) * stepValue.get<std::int64_t>());
            continue;
        }
        char text[40];
        std::snprintf(text, sizeof text, "%.15g", from + static_cast<double>(i) * step);
        values.emplace_back(std::strtold(text, nullptr));
    }
    return values;
}

void readVariable(TExperiment& e, const TSceneJson& value, const std::string& path) {
    TFields fields(e, value, path);
    TSweepVariable variable;
    variable.Pointer = readString(e, fields.Need("pointer", "a JSON Pointer into the scene"),
                                  fields.Path("pointer"));
    const std::string pointerPath = fields.Path("pointer");
    std::optional<TSceneJson::json_pointer> pointer;
    try {
        pointer.emplace(variable.Pointer);
    } catch (const TSceneJson::exception&) {
        e.Fail(pointerPath,
               "\"" + variable.Pointer + "\" is not a JSON Pointer (\"/groups/0/template/mass\")");
    }
    bool found = false;
    try {
        found = e.Scene.contains(*pointer);
    } catch (const TSceneJson::exception&) {
        found = false;
    }
    if (!found)
        e.Fail(pointerPath, "the scene " + QuotedPath(e.SceneName) + " has no value at \"" +
                                variable.Pointer + "\"");
    if (variable.Pointer == "/randomSeed")
        e.Fail(pointerPath, "the replicates' seeds set \"randomSeed\"; sweep \"replicates\"");
    variable.Name = variable.Pointer;
    if (const TSceneJson* name = fields.Find("name"))
        variable.Name = readString(e, *name, fields.Path("name"));

    const TSceneJson* values = fields.Find("values");
    const TSceneJson* range = fields.Find("range");
    if ((values == nullptr) == (range == nullptr))
        e.Fail(path, "expected either \"values\" or \"range\"");
    std::vector<std::string> valuePaths;
    if (values != nullptr) {
        const std::string valuesPath = fields.Path("values");
        if (!values->is_array() || values->empty())
            e.Fail(valuesPath, "expected a list of at least one value");
        if (values->size() > kMaxRuns)
            e.Fail(valuesPath, "more than " + std::to_string(kMaxRuns) + " values");
        for (std::size_t i = 0; i < values->size(); ++i) {
            variable.Values.push_back((*values)[i]);
            valuePaths.push_back(IndexPath(valuesPath, i));
        }
    } else {
        variable.Values = rangeValues(e, *range, fields.Path("range"));
        valuePaths.assign(variable.Values.size(), fields.Path("range"));
    }
    fields.Finish();

    // Values of the kind the scene holds there: a number for a number (or for
    // one of the scene's number texts, "inf" or "x80:..."; an object may be a
    // randomised value's long form), true or false for a flag, a list for a
    // list. Building each value checks the rest.
    const TSceneJson& current = e.Scene[*pointer];
    const bool numberText =
        current.is_string() && ParseExactText(current.get_ref<const std::string&>()).has_value();
    for (std::size_t i = 0; i < variable.Values.size(); ++i) {
        const TSceneJson& v = variable.Values[i];
        const bool vNumberText =
            v.is_string() && ParseExactText(v.get_ref<const std::string&>()).has_value();
        std::string expected;
        if ((current.is_number() || numberText) && !v.is_number() && !vNumberText && !v.is_object())
            expected = "a number";
        else if (current.is_boolean() && !v.is_boolean())
            expected = "true or false";
        else if (current.is_array() && !v.is_array())
            expected = "a list";
        else if (current.is_object() && !v.is_object())
            expected = "an object";
        if (!expected.empty())
            e.Fail(valuePaths[i], "expected " + expected + ", as the scene's value at \"" +
                                      variable.Pointer + "\" is one");
    }
    e.Variables.push_back(std::move(variable));
}

void readMeasure(TExperiment& e, const TSceneJson& value, const std::string& path) {
    TFields fields(e, value, path);
    if (const TSceneJson* every = fields.Find("every"))
        e.Every = static_cast<std::uint32_t>(
            readUnsigned(e, *every, fields.Path("every"), 1, 1000000000));
    if (const TSceneJson* window = fields.Find("window"))
        e.Window = readClock(e, *window, fields.Path("window"));
    if (const TSceneJson* statistics = fields.Find("statistics")) {
        const std::string listPath = fields.Path("statistics");
        if (!statistics->is_array() || statistics->empty())
            e.Fail(listPath, "expected a list of statistics' names");
        const std::vector<std::string>& names = GroupStatisticNames();
        e.Statistics.clear();
        for (std::size_t i = 0; i < statistics->size(); ++i) {
            const std::string& name = readString(e, (*statistics)[i], IndexPath(listPath, i));
            const auto it = std::find(names.begin(), names.end(), name);
            if (it == names.end()) {
                std::string known;
                for (const std::string& n : names)
                    known += (known.empty() ? "" : ", ") + n;
                e.Fail(IndexPath(listPath, i),
                       "unknown statistic \"" + name + "\"; expected one of " + known);
            }
            e.Statistics.push_back(static_cast<std::size_t>(it - names.begin()));
        }
    }
    if (const TSceneJson* groups = fields.Find("groups")) {
        const std::string listPath = fields.Path("groups");
        if (!groups->is_array() || groups->empty())
            e.Fail(listPath, "expected a list of group names");
        for (std::size_t i = 0; i < groups->size(); ++i)
            e.Groups.push_back(readString(e, (*groups)[i], IndexPath(listPath, i)));
    }
    if (const TSceneJson* distance = fields.Find("clusterDistance")) {
        e.ClusterDistance = readNumber(e, *distance, fields.Path("clusterDistance"));
        if (!(e.ClusterDistance > 0))
            e.Fail(fields.Path("clusterDistance"), "expected a number above 0");
    }
    fields.Finish();
}

void readOutputs(TExperiment& e, const TSceneJson& value, const std::string& path) {
    TFields fields(e, value, path);
    if (const TSceneJson* statistics = fields.Find("statistics")) {
        if (!statistics->is_boolean())
            e.Fail(fields.Path("statistics"), "expected true or false");
        e.StatisticsOutput = statistics->get<bool>();
    }
    if (const TSceneJson* video = fields.Find("video")) {
        if (!video->is_boolean())
            e.Fail(fields.Path("video"), "expected true or false");
        e.Video = video->get<bool>();
    }
    if (const TSceneJson* kmd = fields.Find("kmd")) {
        TFields kmdFields(e, *kmd, fields.Path("kmd"));
        e.KmdGroup = readString(e, kmdFields.Need("group", "the name of the group recorded"),
                                kmdFields.Path("group"));
        if (const TSceneJson* every = kmdFields.Find("every"))
            e.KmdEvery = static_cast<int>(readUnsigned(e, *every, kmdFields.Path("every"), 1, 100));
        kmdFields.Finish();
    }
    fields.Finish();
}

// Builds the scene; a scene the builder refuses is the fault of the field at
// `path`, whose value made it.
std::unique_ptr<TSimulation> buildAt(const TExperiment& e, const TSceneJson& scene,
                                     const std::string& path, const std::string& what) {
    try {
        return BuildSimulation(scene);
    } catch (const ESceneError& error) {
        e.Fail(path, what + ": " + error.what());
    }
}

// Builds the base scene, each value alone and each combination, and checks
// that each run has the groups the experiment measures, the same in all.
void checkEveryRun(const TExperiment& e) {
    TSceneJson scene = e.Scene;
    scene["randomSeed"] = ReplicateSeed(e.BaseSeed, 0);
    const std::vector<std::string> columns =
        LayOutMeasures(e, *buildAt(e, scene, "scene", "the base scene does not build")).Columns;
    for (std::size_t v = 0; v < e.Variables.size(); ++v) {
        const TSweepVariable& variable = e.Variables[v];
        for (std::size_t i = 0; i < variable.Values.size(); ++i) {
            TSceneJson changed = scene;
            changed[TSceneJson::json_pointer(variable.Pointer)] = variable.Values[i];
            const std::string path = FieldPath(IndexPath("variables", v), "values");
            const std::string valuePath = e.Places.count(IndexPath(path, i)) != 0
                                              ? IndexPath(path, i)
                                              : FieldPath(IndexPath("variables", v), "range");
            LayOutMeasures(e, *buildAt(e, changed, valuePath,
                                       "the scene does not build with " +
                                           ValueText(variable.Values[i]) + " at \"" +
                                           variable.Pointer + "\""));
        }
    }
    if (e.Variables.size() < 2)
        return;
    for (std::size_t c = 0; c < e.CombinationCount(); ++c) {
        const TRunPlan plan = PlanRun(e, c * e.Replicates);
        std::string values;
        for (std::size_t v = 0; v < e.Variables.size(); ++v)
            values += (v == 0 ? "" : ", ") + e.Variables[v].Name + " = " +
                      ValueText(e.Variables[v].Values[plan.ValueIndexes[v]]);
        const auto simulation =
            buildAt(e, RunScene(e, plan), "variables", "the scene does not build with " + values);
        if (LayOutMeasures(e, *simulation).Columns != columns)
            e.Fail("variables",
                   "the runs with " + values + " measure other groups than the base scene's");
    }
}

} // namespace

std::size_t TExperiment::CombinationCount() const {
    std::size_t count = 1;
    for (const TSweepVariable& variable : Variables)
        count *= variable.Values.size();
    return count;
}

void TExperiment::Fail(const std::string& path, const std::string& what) const {
    // The place of the field, or of the nearest enclosing one the text shows.
    std::string place;
    for (std::string at = path;;) {
        const auto it = Places.find(at);
        if (it != Places.end()) {
            place = it->second + ": ";
            break;
        }
        if (at.empty())
            break;
        const std::size_t cut = at.find_last_of(".[");
        at = cut == std::string::npos ? std::string() : at.substr(0, cut);
    }
    throw EExperimentError(File + ": " + place + (path.empty() ? "" : path + ": ") + what);
}

TRunPlan PlanRun(const TExperiment& experiment, std::size_t run) {
    TRunPlan plan;
    plan.Run = run;
    plan.Combination = run / experiment.Replicates;
    plan.Replicate = static_cast<std::uint32_t>(run % experiment.Replicates);
    plan.Seed = ReplicateSeed(experiment.BaseSeed, plan.Replicate);
    plan.ValueIndexes.assign(experiment.Variables.size(), 0);
    std::size_t rest = plan.Combination;
    for (std::size_t v = experiment.Variables.size(); v-- > 0;) {
        const std::size_t count = experiment.Variables[v].Values.size();
        plan.ValueIndexes[v] = rest % count;
        rest /= count;
    }
    return plan;
}

std::uint32_t ReplicateSeed(std::uint32_t baseSeed, std::uint32_t replicate) {
    std::uint64_t z = ((std::uint64_t{baseSeed} << 32) | replicate) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<std::uint32_t>(z >> 32);
}

TExperiment ReadExperiment(const std::string& path, bool checkEveryRun_) {
    TExperiment e;
    e.File = path;
    const std::string text = ReadTextFile(path);
    TSceneJson root;
    try {
        root = ParseSceneText(text);
    } catch (const ESceneError& error) {
        throw EExperimentError(path + ": " + error.what());
    }
    TPositionScanner(text, e.Places).Scan();
    TFields fields(e, root, "");
    std::string sceneBytes;
    readScene(e, fields, sceneBytes);
    e.Fingerprint = hashText(text, sceneBytes);

    if (const TSceneJson* variables = fields.Find("variables")) {
        if (!variables->is_array())
            e.Fail("variables", "expected a list of variables");
        std::size_t runs = 1;
        for (std::size_t i = 0; i < variables->size(); ++i) {
            readVariable(e, (*variables)[i], IndexPath("variables", i));
            runs *= e.Variables.back().Values.size();
            if (runs > kMaxRuns)
                e.Fail("variables", "more than " + std::to_string(kMaxRuns) + " combinations");
        }
    }
    if (const TSceneJson* replicates = fields.Find("replicates")) {
        TFields replicateFields(e, *replicates, "replicates");
        if (const TSceneJson* count = replicateFields.Find("count"))
            e.Replicates = static_cast<std::uint32_t>(
                readUnsigned(e, *count, replicateFields.Path("count"), 1, kMaxRuns));
        if (const TSceneJson* seed = replicateFields.Find("seed"))
            e.BaseSeed = static_cast<std::uint32_t>(
                readUnsigned(e, *seed, replicateFields.Path("seed"), 0, UINT32_MAX));
        replicateFields.Finish();
        if (e.CombinationCount() * e.Replicates > kMaxRuns)
            e.Fail("replicates", "more than " + std::to_string(kMaxRuns) + " runs");
    }
    e.Until = readClock(e, fields.Need("until", "how long each run lasts, \"SEC:FRAME\""), "until");
    for (std::size_t i = 0; i < GroupStatisticNames().size(); ++i)
        e.Statistics.push_back(i);
    if (const TSceneJson* measure = fields.Find("measure"))
        readMeasure(e, *measure, "measure");
    if (const TSceneJson* outputs = fields.Find("outputs"))
        readOutputs(e, *outputs, "outputs");
    fields.Finish();
    if (checkEveryRun_)
        checkEveryRun(e);
    return e;
}

TSceneJson RunScene(const TExperiment& experiment, const TRunPlan& plan) {
    TSceneJson scene = experiment.Scene;
    for (std::size_t v = 0; v < experiment.Variables.size(); ++v) {
        const TSweepVariable& variable = experiment.Variables[v];
        scene[TSceneJson::json_pointer(variable.Pointer)] = variable.Values[plan.ValueIndexes[v]];
    }
    scene["randomSeed"] = plan.Seed;
    return scene;
}

std::string ValueText(const TSceneJson& value) {
    switch (value.type()) {
    case TSceneJson::value_t::number_integer:
        return std::to_string(value.get<std::int64_t>());
    case TSceneJson::value_t::number_unsigned:
        return std::to_string(value.get<std::uint64_t>());
    case TSceneJson::value_t::number_float:
        return ExactText(value.get<long double>());
    case TSceneJson::value_t::string:
        return value.get<std::string>();
    default:
        return value.dump();
    }
}

std::uint64_t SpanFrames(const TClockTime& span, std::uint8_t fps) {
    return std::uint64_t{span.Second} * fps + span.Frame;
}

TMeasureLayout LayOutMeasures(const TExperiment& e, const TSimulation& simulation) {
    TMeasureLayout layout;
    const auto& groups = simulation.Groups;
    if (e.Groups.empty()) {
        for (std::size_t g = 0; g < groups.size(); ++g)
            layout.Groups.push_back(g);
    } else {
        for (std::size_t i = 0; i < e.Groups.size(); ++i) {
            const auto it = std::find_if(groups.begin(), groups.end(),
                                         [&](const auto& g) { return g->Name == e.Groups[i]; });
            if (it == groups.end())
                e.Fail(IndexPath("measure.groups", i),
                       "the scene has no group named \"" + e.Groups[i] + "\"");
            layout.Groups.push_back(static_cast<std::size_t>(it - groups.begin()));
        }
    }
    for (const std::size_t g : layout.Groups) {
        // A name that several groups share is told apart by the group's place.
        std::string prefix = groups[g]->Name;
        if (std::count_if(groups.begin(), groups.end(),
                          [&](const auto& other) { return other->Name == prefix; }) > 1)
            prefix += "#" + std::to_string(g);
        for (const std::size_t s : e.Statistics)
            layout.Columns.push_back(prefix + "." + GroupStatisticNames()[s]);
    }
    layout.Frames = SpanFrames(e.Until, simulation.FPS);
    if (layout.Frames == 0)
        e.Fail("until", "the span holds no frame");
    if (e.Window) {
        layout.WindowFrames = SpanFrames(*e.Window, simulation.FPS);
        if (layout.WindowFrames > layout.Frames)
            e.Fail("measure.window", "the window is longer than the span");
        if (layout.WindowFrames < e.Every)
            e.Fail("measure.window", "the window is shorter than measure.every (" +
                                         std::to_string(e.Every) +
                                         " frames) and would hold no measurement");
    }
    if (!e.KmdGroup.empty()) {
        const auto it = std::find_if(groups.begin(), groups.end(),
                                     [&](const auto& g) { return g->Name == e.KmdGroup; });
        if (it == groups.end())
            e.Fail("outputs.kmd.group", "the scene has no group named \"" + e.KmdGroup + "\"");
        try {
            CheckMotionLimits(**it, SpanLastFrame({e.Until.Second, e.Until.Frame}, simulation.FPS));
        } catch (const std::exception& error) {
            e.Fail("outputs.kmd", error.what());
        }
    }
    return layout;
}

} // namespace kova
