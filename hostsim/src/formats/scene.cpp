// Scenes of the stand-in host: reading and writing them as JSON, applying them to a host, and
// random scenes for property tests.

#include "hostsim/scene.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include "hostsim/host.h"

namespace hostsim {

namespace {

using json = nlohmann::json;

// A refusal with the JSON path of the offending value.
struct SceneError {
    std::string path;
    std::string what;
};

std::string TypeName(const json& v) {
    if (v.is_number_float())
        return "a floating-point number";
    if (v.is_number())
        return "an integer";
    if (v.is_boolean())
        return "a boolean";
    if (v.is_string())
        return "a string";
    if (v.is_array())
        return "an array";
    if (v.is_object())
        return "an object";
    return "null";
}

// One step of a JSON path as messages show it: a key longer than a message can carry is cut.
std::string PathStep(const std::string& key) {
    constexpr size_t kShown = 64;
    return "/" + (key.size() <= kShown ? key : key.substr(0, kShown) + "...");
}

// What a message says about a value it does not accept: short strings quoted, anything else by
// its type (a value is never printed whole: it may be megabytes long or deeply nested).
std::string Shown(const json& v) {
    if (v.is_string() && v.get_ref<const std::string&>().size() <= 64)
        return v.dump();
    return TypeName(v);
}

bool Refuse(std::vector<SceneError>* errors, const std::string& path, const std::string& what) {
    errors->push_back({path.empty() ? "/" : path, what});
    return false;
}

// Reads the members of one JSON object: each is taken by name, and whatever is left over when
// the reader is done is an unknown key.
class ObjectReader {
public:
    ObjectReader(const json& object, std::string path, std::vector<SceneError>* errors)
        : object_(object), path_(std::move(path)), errors_(errors) {
        if (!object_.is_object())
            Fail(path_, "expected an object, found " + TypeName(object_));
    }

    bool Ok() const { return errors_->empty(); }
    const std::string& Path() const { return path_; }
    std::string PathOf(const std::string& key) const { return path_ + PathStep(key); }

    // The member `key`, or null when it is absent (or this is not an object).
    const json* Member(const std::string& key) {
        taken_.insert(key);
        if (!object_.is_object())
            return nullptr;
        auto it = object_.find(key);
        return it == object_.end() ? nullptr : &*it;
    }
    const json* Required(const std::string& key) {
        const json* v = Member(key);
        if (!v && object_.is_object())
            Fail(PathOf(key), "missing");
        return v;
    }

    bool Int32(const std::string& key, int32_t* out, bool required) {
        const json* v = required ? Required(key) : Member(key);
        if (!v)
            return !required;
        return ReadInt32(*v, PathOf(key), out);
    }
    bool String(const std::string& key, std::string* out) {
        const json* v = Member(key);
        if (!v)
            return true;
        if (!v->is_string())
            return Fail(PathOf(key), "expected a string, found " + TypeName(*v));
        *out = v->get<std::string>();
        return true;
    }
    bool Bool(const std::string& key, bool* out) {
        const json* v = Member(key);
        if (!v)
            return true;
        if (!v->is_boolean())
            return Fail(PathOf(key), "expected true or false, found " + TypeName(*v));
        *out = v->get<bool>();
        return true;
    }

    // Refuses every member that no reader asked for.
    bool NoUnknownKeys(const std::string& known) {
        if (!object_.is_object())
            return false;
        for (auto it = object_.begin(); it != object_.end(); ++it)
            if (!taken_.count(it.key()))
                return Fail(PathOf(it.key()), "unknown key (known here: " + known + ")");
        return true;
    }

    bool ReadInt32(const json& v, const std::string& path, int32_t* out) {
        if (!v.is_number_integer())
            return Fail(path, "expected an integer, found " + TypeName(v));
        const bool inRange = v.is_number_unsigned()
                                 ? v.get<uint64_t>() <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())
                                 : v.get<int64_t>() >= std::numeric_limits<int32_t>::min() &&
                                       v.get<int64_t>() <= std::numeric_limits<int32_t>::max();
        if (!inRange)
            return Fail(path, "integer " + v.dump() + " is outside the Int32 range");
        *out = static_cast<int32_t>(v.get<int64_t>());
        return true;
    }

    bool Fail(const std::string& path, const std::string& what) { return Refuse(errors_, path, what); }

private:
    const json& object_;
    std::string path_;
    std::vector<SceneError>* errors_;
    std::set<std::string> taken_;
};

bool ReadParameterValue(ObjectReader& r, const std::string& type, Container::Value* value) {
    const json* v = r.Required("value");
    if (!v)
        return false;
    const std::string path = r.PathOf("value");
    if (type == "int32") {
        value->type = Container::Type::Int32;
        return r.ReadInt32(*v, path, &value->i);
    }
    if (type == "bool") {
        value->type = Container::Type::Bool;
        if (!v->is_boolean())
            return r.Fail(path, "expected true or false for a bool parameter, found " + TypeName(*v));
        value->b = v->get<bool>();
        return true;
    }
    value->type = Container::Type::Float;
    if (!v->is_number())
        return r.Fail(path, "expected a number for a float parameter, found " + TypeName(*v));
    value->f = v->get<double>();
    return true;
}

// A list of parameters: [{"id": ..., "type": "int32"|"bool"|"float", "value": ...}, ...].
bool ReadParameters(const json& list, const std::string& path, Container* out, std::vector<SceneError>* errors) {
    if (!list.is_array())
        return Refuse(errors, path, "expected an array of parameters, found " + TypeName(list));
    std::map<int32_t, size_t> firstIndex;
    for (size_t i = 0; i < list.size(); ++i) {
        ObjectReader r(list[i], path + "/" + std::to_string(i), errors);
        int32_t id = 0;
        std::string type;
        if (!r.Ok() || !r.Int32("id", &id, true))
            return false;
        const json* typeValue = r.Required("type");
        if (!typeValue)
            return false;
        type = typeValue->is_string() ? typeValue->get<std::string>() : "";
        if (type != "int32" && type != "bool" && type != "float")
            return r.Fail(r.PathOf("type"), "expected \"int32\", \"bool\" or \"float\", found " + Shown(*typeValue));
        Container::Value value;
        if (!ReadParameterValue(r, type, &value) || !r.NoUnknownKeys("id, type, value"))
            return false;
        auto first = firstIndex.emplace(id, i);
        if (!first.second)
            return r.Fail(r.PathOf("id"), "duplicate parameter id " + std::to_string(id) + " (first at " + path + "/" +
                                              std::to_string(first.first->second) + ")");
        out->Set(id, value);
    }
    return true;
}

bool ReadEffects(const json& list, const std::string& path, std::vector<SceneEffect>* out,
                 std::vector<SceneError>* errors) {
    if (!list.is_array())
        return Refuse(errors, path, "expected an array of effects, found " + TypeName(list));
    for (size_t i = 0; i < list.size(); ++i) {
        ObjectReader r(list[i], path + "/" + std::to_string(i), errors);
        SceneEffect effect;
        if (!r.Ok() || !r.Int32("type", &effect.type, true) || !r.Int32("bits", &effect.bits, false) ||
            !r.String("name", &effect.name) || !r.NoUnknownKeys("type, bits, name"))
            return false;
        out->push_back(effect);
    }
    return true;
}

bool ReadRenderSettings(const json& object, const std::string& path, SceneRenderSettings* out,
                        std::vector<SceneError>* errors) {
    ObjectReader r(object, path, errors);
    if (!r.Ok() || !r.String("name", &out->name) || !r.Int32("type", &out->type, false))
        return false;
    if (const json* params = r.Member("parameters"))
        if (!ReadParameters(*params, r.PathOf("parameters"), &out->parameters, errors))
            return false;
    if (const json* effects = r.Member("effects"))
        if (!ReadEffects(*effects, r.PathOf("effects"), &out->effects, errors))
            return false;
    if (const json* button = r.Member("button_28501")) {
        Container written;
        if (!ReadParameters(*button, r.PathOf("button_28501"), &written, errors))
            return false;
        out->button28501 = std::move(written);
    }
    return r.NoUnknownKeys("name, type, parameters, effects, button_28501");
}

bool ReadDocument(const json& object, const std::string& path, SceneDocument* out, std::vector<SceneError>* errors) {
    ObjectReader r(object, path, errors);
    if (!r.Ok() || !r.String("name", &out->name) || !r.Bool("active", &out->active))
        return false;
    if (const json* rs = r.Member("render_settings")) {
        if (!rs->is_null()) {
            SceneRenderSettings settings;
            if (!ReadRenderSettings(*rs, r.PathOf("render_settings"), &settings, errors))
                return false;
            out->renderSettings = std::move(settings);
        }
    } else {
        // A document without the key gets the render settings of a fresh document of the host.
        SceneRenderSettings settings;
        settings.name = "My Render Setting";
        FillDefaultRenderData(settings.parameters);
        out->renderSettings = std::move(settings);
    }
    return r.NoUnknownKeys("name, active, render_settings");
}

bool ReadScene(const json& root, Scene* out, std::vector<SceneError>* errors) {
    ObjectReader r(root, "", errors);
    const json* documents = r.Ok() ? r.Required("documents") : nullptr;
    if (!documents)
        return false;
    if (!documents->is_array())
        return r.Fail("/documents", "expected an array of documents, found " + TypeName(*documents));
    Scene scene;
    int active = 0;
    for (size_t i = 0; i < documents->size(); ++i) {
        SceneDocument doc;
        if (!ReadDocument((*documents)[i], "/documents/" + std::to_string(i), &doc, errors))
            return false;
        active += doc.active ? 1 : 0;
        scene.documents.push_back(std::move(doc));
    }
    if (!r.NoUnknownKeys("documents"))
        return false;
    if (active != 1)
        return r.Fail("/documents", active == 0 ? "no active document (set \"active\": true on one)"
                                                : std::to_string(active) + " documents are active; exactly one may be");
    *out = std::move(scene);
    return true;
}

json ValueToJson(int32_t id, const Container::Value& v) {
    switch (v.type) {
    case Container::Type::Int32: return {{"id", id}, {"type", "int32"}, {"value", v.i}};
    case Container::Type::Bool: return {{"id", id}, {"type", "bool"}, {"value", v.b}};
    case Container::Type::Float: break;
    }
    return {{"id", id}, {"type", "float"}, {"value", v.f}};
}

} // namespace

const SceneDocument* Scene::Active() const {
    for (const SceneDocument& d : documents)
        if (d.active)
            return &d;
    return nullptr;
}

namespace {

// Builds the document tree of a scene as nlohmann-json's own reader does, but refuses what would
// hurt the host before it is built: values nested deeper than kMaxSceneDepth (the tree, its
// messages and its destruction all recurse), and numbers outside a double's range. It keeps the
// JSON path of the value being read, so that every refusal names where it happened.
class BoundedSceneReader {
public:
    explicit BoundedSceneReader(json* root) : dom_(*root, false) {}

    bool null() { return Value() && dom_.null(); }
    bool boolean(bool v) { return Value() && dom_.boolean(v); }
    bool number_integer(json::number_integer_t v) { return Value() && dom_.number_integer(v); }
    bool number_unsigned(json::number_unsigned_t v) { return Value() && dom_.number_unsigned(v); }
    bool number_float(json::number_float_t v, const json::string_t& text) {
        if (!Value())
            return false;
        if (!std::isfinite(v))
            return Fail("the number " + Cut(text) + " is outside the range of a double");
        return dom_.number_float(v, text);
    }
    bool string(json::string_t& v) { return Value() && dom_.string(v); }
    bool binary(json::binary_t& v) { return Value() && dom_.binary(v); }
    bool start_object(std::size_t n) { return Open(false) && dom_.start_object(n); }
    bool key(json::string_t& k) {
        frames_.back().key = k;
        frames_.back().started = true;
        return dom_.key(k);
    }
    bool end_object() {
        frames_.pop_back();
        return dom_.end_object();
    }
    bool start_array(std::size_t n) { return Open(true) && dom_.start_array(n); }
    bool end_array() {
        frames_.pop_back();
        return dom_.end_array();
    }
    bool parse_error(std::size_t, const std::string& token, const nlohmann::detail::exception& e) {
        if (e.id == 406) // out_of_range: a number that overflows a double
            return Fail("the number " + Cut(token) + " is outside the range of a double");
        std::string what = e.what();
        // "[json.exception.parse_error.101] parse error at line 1, column 3: ..." without its tag.
        const size_t tagEnd = what.find("] ");
        if (what.compare(0, 1, "[") == 0 && tagEnd != std::string::npos)
            what.erase(0, tagEnd + 2);
        return Fail("not valid JSON: " + Cut(what, 300));
    }

    bool Failed() const { return !reason_.empty(); }
    const std::string& Where() const { return where_; }
    const std::string& Reason() const { return reason_; }

private:
    struct Frame {
        bool array = false;
        size_t next = 0;  // index the next element of an array gets
        std::string key;  // key of the latest member of an object, or index of the latest element
        bool started = false;
    };

    static std::string Cut(const std::string& text, size_t shown = 40) {
        return text.size() <= shown ? text : text.substr(0, shown) + "...";
    }

    // Every value of an array takes the next index of its path.
    bool Value() {
        if (!frames_.empty() && frames_.back().array) {
            frames_.back().key = std::to_string(frames_.back().next++);
            frames_.back().started = true;
        }
        return true;
    }
    bool Open(bool array) {
        Value();
        if (frames_.size() >= kMaxSceneDepth)
            return Fail("nested deeper than " + std::to_string(kMaxSceneDepth) + " levels");
        frames_.push_back(Frame{array, 0, {}, false});
        return true;
    }
    bool Fail(const std::string& reason) {
        where_.clear();
        for (const Frame& f : frames_)
            if (f.started)
                where_ += PathStep(f.key);
        if (where_.empty())
            where_ = "/";
        reason_ = reason;
        return false;
    }

    nlohmann::detail::json_sax_dom_parser<json> dom_;
    std::vector<Frame> frames_;
    std::string where_;
    std::string reason_;
};

} // namespace

bool ParseScene(const std::string& text, const std::string& sourceName, Scene* out, std::string* error) {
    if (text.size() > kMaxSceneBytes) {
        *error = sourceName + ": /: the file is larger than " + std::to_string(kMaxSceneBytes >> 20) +
                 " MiB, the most a scene may be";
        return false;
    }
    json root;
    BoundedSceneReader reader(&root);
    const bool parsed = json::sax_parse(text, &reader, json::input_format_t::json, true);
    if (!parsed || reader.Failed()) {
        *error = sourceName + ": " + (reader.Failed() ? reader.Where() + ": " + reader.Reason() : "/: not valid JSON");
        return false;
    }
    std::vector<SceneError> errors;
    if (ReadScene(root, out, &errors))
        return true;
    *error = sourceName + ": " + (errors.empty() ? "/" : errors.front().path) + ": " +
             (errors.empty() ? "not a scene" : errors.front().what);
    return false;
}

bool LoadSceneFile(const std::string& path, Scene* out, std::string* error) {
    namespace fs = std::filesystem;
    if (path.empty()) {
        *error = "no scene file named (the path is empty)";
        return false;
    }
    // Only a regular file is opened: a FIFO would block the host, a device such as /dev/zero would
    // never end. The type is asked before opening, following links.
    std::error_code ec;
    const fs::path file = fs::u8path(path);
    const fs::file_status status = fs::status(file, ec);
    if (!fs::exists(status)) {
        const bool absent = status.type() == fs::file_type::not_found || !ec;
        *error = path + ": cannot be opened (" + (absent ? std::string("no such file") : ec.message()) + ")";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        const char* kind = fs::is_directory(status) ? "a directory"
                           : fs::is_fifo(status)    ? "a FIFO"
                           : fs::is_character_file(status) || fs::is_block_file(status) ? "a device"
                           : fs::is_socket(status)  ? "a socket"
                                                    : "not a regular file";
        *error = path + ": cannot be used: it is " + std::string(kind) + ", not a regular file";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        *error = path + ": cannot be opened";
        return false;
    }
    // Read at most one byte past the limit: a file that grows while it is read stays bounded.
    std::string text;
    std::vector<char> chunk(1 << 16);
    while (text.size() <= kMaxSceneBytes) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        text.append(chunk.data(), static_cast<size_t>(in.gcount()));
        if (!in)
            break;
    }
    if (in.bad()) {
        *error = path + ": cannot be read";
        return false;
    }
    return ParseScene(text, path, out, error);
}

json ParametersToJson(const Container& parameters) {
    json list = json::array();
    for (const auto& e : parameters.entries)
        list.push_back(ValueToJson(e.first, e.second));
    return list;
}

json RenderSettingsToJson(const SceneRenderSettings& rs) {
    json effects = json::array();
    for (const SceneEffect& e : rs.effects) {
        json effect = {{"type", e.type}, {"bits", e.bits}};
        if (!e.name.empty())
            effect["name"] = e.name;
        effects.push_back(effect);
    }
    json out = json::object();
    if (!rs.name.empty())
        out["name"] = rs.name;
    out["type"] = rs.type;
    out["parameters"] = ParametersToJson(rs.parameters);
    out["effects"] = effects;
    if (rs.button28501)
        out["button_28501"] = ParametersToJson(*rs.button28501);
    return out;
}

json SceneToJson(const Scene& scene) {
    json documents = json::array();
    for (const SceneDocument& d : scene.documents) {
        json doc = {{"name", d.name}, {"active", d.active}};
        doc["render_settings"] = d.renderSettings ? RenderSettingsToJson(*d.renderSettings) : json(nullptr);
        documents.push_back(doc);
    }
    return {{"documents", documents}};
}

void ApplyScene(Host& host, const Scene& scene) {
    host.ClearDocuments();
    for (const SceneDocument& sd : scene.documents) {
        Document* doc = host.NewDocument(sd.name);
        if (sd.renderSettings) {
            const SceneRenderSettings& rs = *sd.renderSettings;
            ListObject* rd = doc->AddRenderData(rs.name);
            rd->type = rs.type;
            rd->data = rs.parameters;
            for (const SceneEffect& e : rs.effects) {
                ListObject* vp = rd->AddVideoPost(e.type);
                vp->bits = e.bits;
                vp->name = e.name;
            }
            if (rs.button28501) {
                const Container written = *rs.button28501;
                // The host handles the press while the command message is being delivered, so a
                // copy taken after the message returns holds what the button wrote.
                rd->onButton = [written](ListObject& self, const C4D_DescID& id, const Container&) {
                    if (id.depth >= 1 && id.level[0].id == kSceneButtonId)
                        self.data.MergeFrom(written);
                };
            }
        }
        if (sd.active)
            host.SetActiveDocument(doc);
    }
}

SceneRenderSettings CaptureRenderSettings(const ListObject& rd) {
    SceneRenderSettings rs;
    rs.name = rd.name;
    rs.type = rd.type;
    rs.parameters = rd.data;
    for (const auto& vp : rd.videoPosts)
        rs.effects.push_back(SceneEffect{vp->type, vp->bits, vp->name});
    return rs;
}

namespace {

Container::Value RandomValue(std::mt19937_64& rng) {
    Container::Value v;
    switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
    case 0:
        v.type = Container::Type::Int32;
        v.i = std::uniform_int_distribution<int>(0, 3)(rng) == 0
                  ? static_cast<int32_t>(rng())
                  : std::uniform_int_distribution<int32_t>(-3, 6100)(rng);
        break;
    case 1:
        v.type = Container::Type::Bool;
        v.b = (rng() & 1) != 0;
        break;
    default:
        v.type = Container::Type::Float;
        v.f = std::uniform_int_distribution<int>(0, 2)(rng) == 0
                  ? std::uniform_real_distribution<double>(-1e6, 1e6)(rng)
                  : static_cast<double>(std::uniform_int_distribution<int>(0, 8192)(rng));
        break;
    }
    return v;
}

Container RandomParameters(std::mt19937_64& rng, const std::vector<int32_t>& ids, int maxExtra) {
    Container c;
    std::vector<int32_t> order = ids;
    std::shuffle(order.begin(), order.end(), rng);
    for (int32_t id : order)
        if (std::uniform_int_distribution<int>(0, 4)(rng) != 0)
            c.Set(id, RandomValue(rng));
    const int extra = std::uniform_int_distribution<int>(0, std::max(0, maxExtra))(rng);
    for (int i = 0; i < extra; ++i)
        c.Set(std::uniform_int_distribution<int32_t>(1, 40000)(rng), RandomValue(rng));
    return c;
}

} // namespace

Scene RandomScene(std::mt19937_64& rng, const RandomSceneOptions& options) {
    SceneRenderSettings rs;
    rs.name = "Random";
    rs.type = std::uniform_int_distribution<int>(0, 1)(rng) ? kRenderDataType : 5000;
    rs.parameters = RandomParameters(rng, options.parameterIds, options.maxExtraParameters);
    const int effects = std::uniform_int_distribution<int>(0, std::max(0, options.maxEffects))(rng);
    for (int i = 0; i < effects; ++i) {
        SceneEffect e;
        const bool managed = !options.effectTypes.empty() && std::uniform_int_distribution<int>(0, 5)(rng) != 0;
        e.type = managed ? options.effectTypes[std::uniform_int_distribution<size_t>(0, options.effectTypes.size() - 1)(rng)]
                         : std::uniform_int_distribution<int32_t>(1000000, 1100000)(rng);
        // Mostly enabled; some disabled by the user; now and then other bits beside.
        e.bits = std::uniform_int_distribution<int>(0, 3)(rng) == 0 ? C4D_BIT_VPDISABLED : 0;
        if (std::uniform_int_distribution<int>(0, 7)(rng) == 0)
            e.bits |= static_cast<int32_t>(rng() & 0x3) << 4;
        rs.effects.push_back(e);
    }
    if (std::uniform_int_distribution<int>(0, 2)(rng) == 0)
        rs.button28501 = RandomParameters(rng, options.parameterIds, 3);

    SceneDocument doc;
    doc.name = "random";
    doc.active = true;
    doc.renderSettings = std::move(rs);
    Scene scene;
    scene.documents.push_back(std::move(doc));
    return scene;
}

} // namespace hostsim
