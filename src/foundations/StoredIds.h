#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kova {

// The Ids of the objects a record refers to, kept from reading the record
// until the loader resolves them into references. Every bug and behaviour has
// such a list and it is empty nearly all the time, so it takes the room of
// one pointer until it holds something.
class TStoredIds {
public:
    TStoredIds() = default;
    TStoredIds(const TStoredIds& other)
        : ids_(other.ids_ ? std::make_unique<std::vector<std::int32_t>>(*other.ids_) : nullptr) {}
    TStoredIds(TStoredIds&&) noexcept = default;
    TStoredIds& operator=(const TStoredIds& other) {
        if (this != &other)
            *this = TStoredIds(other);
        return *this;
    }
    TStoredIds& operator=(TStoredIds&&) noexcept = default;
    ~TStoredIds() = default;

    const std::vector<std::int32_t>& Ids() const { return ids_ ? *ids_ : none(); }
    auto begin() const { return Ids().begin(); }
    auto end() const { return Ids().end(); }
    bool empty() const { return Ids().empty(); }

    void push_back(std::int32_t id) {
        if (!ids_)
            ids_ = std::make_unique<std::vector<std::int32_t>>();
        ids_->push_back(id);
    }
    void clear() { ids_.reset(); }

    friend bool operator==(const TStoredIds& a, const std::vector<std::int32_t>& b) {
        return a.Ids() == b;
    }

private:
    static const std::vector<std::int32_t>& none() {
        static const std::vector<std::int32_t> empty;
        return empty;
    }

    std::unique_ptr<std::vector<std::int32_t>> ids_;
};

} // namespace kova
