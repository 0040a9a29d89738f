#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace kova {

class TObstacle;

// The obstacles an Obstacle Avoidance behaviour steers clear of, in order.
// Every member of a group holds its own copy of the group's behaviours, and a
// list can name thousands of obstacles: copies therefore share one array
// until one of them is changed, which gives that copy an array of its own.
class TObstacleList {
public:
    using value_type = TObstacle*;
    using const_iterator = std::vector<TObstacle*>::const_iterator;
    using iterator = const_iterator;

    TObstacleList() = default;
    TObstacleList(std::initializer_list<TObstacle*> items) {
        if (items.size() != 0)
            items_ = std::make_shared<std::vector<TObstacle*>>(items);
    }
    // Implicit, so that a list can be assigned from the obstacles a dialog
    // collected.
    TObstacleList(std::vector<TObstacle*> items)
        : items_(items.empty() ? nullptr
                               : std::make_shared<std::vector<TObstacle*>>(std::move(items))) {}

    const std::vector<TObstacle*>& Items() const { return items_ ? *items_ : none(); }
    const_iterator begin() const { return Items().begin(); }
    const_iterator end() const { return Items().end(); }
    std::size_t size() const { return Items().size(); }
    bool empty() const { return Items().empty(); }
    TObstacle* operator[](std::size_t index) const { return Items()[index]; }

    // True when both lists read the same array, so that they are equal
    // without comparing their items.
    bool SharesItemsWith(const TObstacleList& other) const { return items_ == other.items_; }

    void push_back(TObstacle* obstacle) { writable().push_back(obstacle); }
    void clear() { items_.reset(); }
    // Removes every occurrence of the obstacle.
    void EraseAll(const TObstacle* obstacle) {
        if (std::find(begin(), end(), obstacle) != end())
            std::erase(writable(), obstacle);
    }
    // Removes the first occurrence of the obstacle.
    void EraseFirst(const TObstacle* obstacle) {
        const auto at = std::find(begin(), end(), obstacle);
        if (at != end()) {
            const auto offset = at - begin();
            std::vector<TObstacle*>& items = writable();
            items.erase(items.begin() + offset);
        }
    }

    friend bool operator==(const TObstacleList& a, const TObstacleList& b) {
        return a.SharesItemsWith(b) || a.Items() == b.Items();
    }
    friend bool operator==(const TObstacleList& a, const std::vector<TObstacle*>& b) {
        return a.Items() == b;
    }

private:
    static const std::vector<TObstacle*>& none() {
        static const std::vector<TObstacle*> empty;
        return empty;
    }
    // The array, made this list's own before it is changed.
    std::vector<TObstacle*>& writable() {
        if (!items_)
            items_ = std::make_shared<std::vector<TObstacle*>>();
        else if (items_.use_count() > 1)
            items_ = std::make_shared<std::vector<TObstacle*>>(*items_);
        return *items_;
    }

    std::shared_ptr<std::vector<TObstacle*>> items_;
};

} // namespace kova
