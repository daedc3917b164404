// The component's task list: an ordered list of engine instances that owns its items.
#pragma once

#include "TFFmpeg.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class TFFmpegList {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    // Raises std::out_of_range "List index out of bounds (%d)" for an index outside.
    TFFmpeg& Items(int index) const { return *m_items[checked(index)]; }
    TFFmpeg& operator[](int index) const { return Items(index); }
    int Add(std::unique_ptr<TFFmpeg> task) {
        m_items.push_back(std::move(task));
        return Count() - 1;
    }
    // Takes the item out of the list; the caller destroys it.
    std::unique_ptr<TFFmpeg> Extract(int index) {
        std::unique_ptr<TFFmpeg> task = std::move(m_items[checked(index)]);
        m_items.erase(m_items.begin() + index);
        return task;
    }
    // Takes every item out; the caller destroys them.
    std::vector<std::unique_ptr<TFFmpeg>> ExtractAll() { return std::move(m_items); }
    bool Contains(const TFFmpeg* task) const {
        for (const auto& item : m_items)
            if (item.get() == task)
                return true;
        return false;
    }

private:
    std::size_t checked(int index) const {
        if (index < 0 || index >= Count())
            throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
        return static_cast<std::size_t>(index);
    }
    std::vector<std::unique_ptr<TFFmpeg>> m_items;
};
