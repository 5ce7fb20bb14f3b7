// The stand-in host's containers, list objects and documents.
#include "hostsim/objects.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <unordered_map>

namespace {

int32_t FloatToInt32(double f) {
    if (std::isnan(f))
        return 0;
    if (f >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (f <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(f); // truncates toward zero
}

} // namespace

bool C4D_ContainerImpl::Value::operator==(const Value& o) const {
    if (type != o.type)
        return false;
    switch (type) {
    case Type::Int32: return i == o.i;
    case Type::Bool: return b == o.b;
    case Type::Float: return f == o.f || (std::isnan(f) && std::isnan(o.f));
    }
    return false;
}

const C4D_ContainerImpl::Value* C4D_ContainerImpl::Find(int32_t key) const {
    for (const auto& e : entries)
        if (e.first == key)
            return &e.second;
    return nullptr;
}

std::optional<C4D_ContainerImpl::Type> C4D_ContainerImpl::TypeOf(int32_t key) const {
    if (const Value* v = Find(key))
        return v->type;
    return std::nullopt;
}

void C4D_ContainerImpl::Set(int32_t key, const Value& v) {
    for (auto& e : entries) {
        if (e.first == key) {
            e.second = v;
            return;
        }
    }
    entries.emplace_back(key, v);
}

void C4D_ContainerImpl::SetInt32(int32_t key, int32_t v) {
    Value value;
    value.type = Type::Int32;
    value.i = v;
    Set(key, value);
}

void C4D_ContainerImpl::SetBool(int32_t key, bool v) {
    Value value;
    value.type = Type::Bool;
    value.b = v;
    Set(key, value);
}

void C4D_ContainerImpl::SetFloat(int32_t key, double v) {
    Value value;
    value.type = Type::Float;
    value.f = v;
    Set(key, value);
}

int32_t C4D_ContainerImpl::GetInt32(int32_t key, int32_t preset) const {
    const Value* v = Find(key);
    if (!v)
        return preset;
    switch (v->type) {
    case Type::Int32: return v->i;
    case Type::Bool: return v->b ? 1 : 0;
    case Type::Float: return FloatToInt32(v->f);
    }
    return preset;
}

bool C4D_ContainerImpl::GetBool(int32_t key, bool preset) const {
    const Value* v = Find(key);
    if (!v)
        return preset;
    switch (v->type) {
    case Type::Int32: return v->i != 0;
    case Type::Bool: return v->b;
    case Type::Float: return v->f != 0.0;
    }
    return preset;
}

double C4D_ContainerImpl::GetFloat(int32_t key, double preset) const {
    const Value* v = Find(key);
    if (!v)
        return preset;
    switch (v->type) {
    case Type::Int32: return static_cast<double>(v->i);
    case Type::Bool: return v->b ? 1.0 : 0.0;
    case Type::Float: return v->f;
    }
    return preset;
}

bool C4D_ContainerImpl::Remove(int32_t key) {
    auto it = std::find_if(entries.begin(), entries.end(), [key](const auto& e) { return e.first == key; });
    if (it == entries.end())
        return false;
    entries.erase(it);
    return true;
}

std::vector<int32_t> C4D_ContainerImpl::Keys() const {
    std::vector<int32_t> keys;
    keys.reserve(entries.size());
    for (const auto& e : entries)
        keys.push_back(e.first);
    return keys;
}

void C4D_ContainerImpl::MergeFrom(const C4D_ContainerImpl& other) {
    // One index of this container's keys, so that merging large parameter sets stays linear
    // instead of searching the entries once per key.
    std::unordered_map<int32_t, size_t> position;
    position.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        position.emplace(entries[i].first, i);
    for (const auto& e : other.entries) {
        auto found = position.find(e.first);
        if (found != position.end()) {
            entries[found->second].second = e.second;
        } else {
            position.emplace(e.first, entries.size());
            entries.emplace_back(e.first, e.second);
        }
    }
}

bool C4D_ContainerImpl::SameContent(const C4D_ContainerImpl& other) const {
    if (id != other.id || entries.size() != other.entries.size())
        return false;
    for (const auto& e : entries) {
        const Value* o = other.Find(e.first);
        if (!o || *o != e.second)
            return false;
    }
    return true;
}

std::string C4D_ContainerImpl::Describe() const {
    std::ostringstream out;
    out << "id " << id << " {";
    bool first = true;
    for (const auto& e : entries) {
        out << (first ? "" : ", ") << e.first << ':';
        first = false;
        switch (e.second.type) {
        case Type::Int32: out << 'i' << e.second.i; break;
        case Type::Bool: out << 'b' << (e.second.b ? 1 : 0); break;
        case Type::Float: out << 'f' << e.second.f; break;
        }
    }
    out << '}';
    return out.str();
}

C4D_ListObjectImpl* C4D_ListObjectImpl::AddVideoPost(int32_t vpType, bool disabled) {
    auto vp = std::make_unique<C4D_ListObjectImpl>();
    vp->type = vpType;
    vp->bits = disabled ? C4D_BIT_VPDISABLED : 0;
    C4D_ListObjectImpl* raw = vp.get();
    if (!videoPosts.empty())
        videoPosts.back()->next = raw;
    videoPosts.push_back(std::move(vp));
    return raw;
}

C4D_ListObjectImpl* C4D_ListObjectImpl::FindVideoPost(int32_t vpType) {
    for (auto& vp : videoPosts)
        if (vp->type == vpType)
            return vp.get();
    return nullptr;
}

bool C4D_ListObjectImpl::VideoPostDisabled(int32_t vpType) {
    C4D_ListObjectImpl* vp = FindVideoPost(vpType);
    return vp && (vp->bits & C4D_BIT_VPDISABLED) != 0;
}

C4D_ListObjectImpl* C4D_DocumentImpl::AddRenderData(const std::string& rdName) {
    auto rd = std::make_unique<C4D_ListObjectImpl>();
    rd->type = hostsim::kRenderDataType;
    rd->name = rdName;
    hostsim::FillDefaultRenderData(rd->data);
    C4D_ListObjectImpl* raw = rd.get();
    if (!renderData.empty())
        renderData.back()->next = raw;
    renderData.push_back(std::move(rd));
    if (!activeRenderData)
        activeRenderData = raw;
    return raw;
}

namespace hostsim {

void FillDefaultRenderData(Container& data) {
    data.SetFloat(5008, 1280.0); // width
    data.SetFloat(5009, 720.0);  // height
    data.SetInt32(5002, 1);      // antialiasing: geometry
    data.SetInt32(5070, 0);      // antialiasing filter: still
    data.SetInt32(5016, 1);      // frame range: current frame
    data.SetBool(7004, false);
    for (int32_t key : {5076, 5202, 6016, 6017, 6018, 6019, 5064, 5052, 5604, 5069, 5401})
        data.SetBool(key, true);
    for (int32_t key : {5021, 6020, 6021})
        data.SetBool(key, false);
}

} // namespace hostsim
