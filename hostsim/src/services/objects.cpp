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

C4D_ContainerImpl::C4D_ContainerImpl(C4D_ContainerImpl&& o) noexcept
    : id(o.id), entries(std::move(o.entries)), index_(std::move(o.index_)), indexed_(o.indexed_) {
    o.entries.clear();
    o.DropIndex();
}

C4D_ContainerImpl& C4D_ContainerImpl::operator=(const C4D_ContainerImpl& o) {
    if (this != &o) {
        id = o.id;
        entries = o.entries;
        DropIndex();
    }
    return *this;
}

C4D_ContainerImpl& C4D_ContainerImpl::operator=(C4D_ContainerImpl&& o) noexcept {
    if (this != &o) {
        id = o.id;
        entries = std::move(o.entries);
        index_ = std::move(o.index_);
        indexed_ = o.indexed_;
        o.entries.clear();
        o.DropIndex();
    }
    return *this;
}

void C4D_ContainerImpl::DropIndex() const {
    index_.clear();
    indexed_ = 0;
}

size_t C4D_ContainerImpl::Position(int32_t key) const {
    const size_t n = entries.size();
    if (n < kIndexFrom) {
        for (size_t i = 0; i < n; ++i)
            if (entries[i].first == key)
                return i;
        return n;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (indexed_ > n)
            DropIndex(); // entries were taken away behind the index
        if (index_.empty())
            index_.reserve(n);
        for (; indexed_ < n; ++indexed_)
            index_.emplace(entries[indexed_].first, indexed_); // an earlier entry of a key stays
        const auto found = index_.find(key);
        if (found == index_.end())
            return n;
        if (found->second < n && entries[found->second].first == key)
            return found->second;
        DropIndex(); // entries were rewritten behind the index: build it afresh once
    }
    return n;
}

const C4D_ContainerImpl::Value* C4D_ContainerImpl::Find(int32_t key) const {
    const size_t at = Position(key);
    return at < entries.size() ? &entries[at].second : nullptr;
}

std::optional<C4D_ContainerImpl::Type> C4D_ContainerImpl::TypeOf(int32_t key) const {
    if (const Value* v = Find(key))
        return v->type;
    return std::nullopt;
}

void C4D_ContainerImpl::Set(int32_t key, const Value& v) {
    const size_t at = Position(key);
    if (at < entries.size())
        entries[at].second = v;
    else
        entries.emplace_back(key, v); // indexed on the next lookup
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
    const size_t at = Position(key);
    if (at >= entries.size())
        return false;
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(at));
    DropIndex(); // the positions after it moved
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
    if (&other == this)
        return;
    for (const auto& e : other.entries)
        Set(e.first, e.second);
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
