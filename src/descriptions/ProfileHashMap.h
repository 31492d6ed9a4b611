#pragma once
// The name-keyed table behind profiles and sections: 17 buckets, a new name goes to the head of
// its bucket's chain. Index order walks bucket 0 upwards and each chain from its head, so it
// depends on the names, not on the order they were added in.
//
// Equal names may be added more than once; every addition is its own node (and counts). A
// lookup answers the node a walk in index order meets first: equal names share a bucket, so
// that is the one added last. The walk itself is replaced by a name index kept beside the
// buckets, so lookups cost the same in a section of ten entries and of fifty thousand.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillon {

// How names are hashed: over their UTF-16 code units (the wide store) or over their bytes in
// the Windows-1251 code page (the narrow store).
enum class TextForm { Wide, Narrow };

inline constexpr std::size_t kProfileBuckets = 17;

// h = 0; h = h * 33 + unit for every code unit, wrapping in 32 bits; bucket = h mod 17.
std::uint32_t ProfileNameHash(std::string_view utf8Name, TextForm form);

// Hash of the name index; transparent, so a lookup by string_view allocates nothing.
struct ProfileNameIndexHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const {
        return std::hash<std::string_view>{}(name);
    }
};

template <class T> class CProfileHashMap {
public:
    struct Node {
        std::string name;
        std::unique_ptr<T> value;
    };

    explicit CProfileHashMap(TextForm form) : form_(form) {}
    CProfileHashMap(const CProfileHashMap&) = delete;
    CProfileHashMap& operator=(const CProfileHashMap&) = delete;

    TextForm Form() const { return form_; }
    std::size_t Size() const { return added_.size(); }

    // Adds a node at the head of the name's chain; answers its value.
    T& Add(std::string name, std::unique_ptr<T> value) {
        auto node = std::make_unique<Node>(Node{std::move(name), std::move(value)});
        Node* raw = node.get();
        buckets_[ProfileNameHash(raw->name, form_) % kProfileBuckets].push_back(raw);
        index_.insert_or_assign(raw->name, raw);
        added_.push_back(std::move(node));
        order_.clear();
        return *raw->value;
    }

    // The value of the first node named exactly `name` in index order; null when none is.
    const T* Find(std::string_view name) const {
        const auto it = index_.find(name);
        return it == index_.end() ? nullptr : it->second->value.get();
    }
    T* Find(std::string_view name) { return const_cast<T*>(std::as_const(*this).Find(name)); }

    // The same answer as Find, by walking the nodes in index order and comparing every name.
    // Kept as the reference the index is checked and measured against.
    const T* FindByWalk(std::string_view name) const {
        for (std::size_t b = 0; b < kProfileBuckets; ++b) {
            const auto& chain = buckets_[b];
            for (auto it = chain.rbegin(); it != chain.rend(); ++it)
                if ((*it)->name == name)
                    return (*it)->value.get();
        }
        return nullptr;
    }

    // The node at `index` in index order; null past the end.
    const Node* AtIndex(std::size_t index) const {
        if (index >= added_.size())
            return nullptr;
        if (order_.size() != added_.size())
            BuildOrder();
        return order_[index];
    }

    // The node at `position` in the order nodes were added (the file's order); null past the end.
    const Node* AtAdded(std::size_t position) const {
        return position < added_.size() ? added_[position].get() : nullptr;
    }

private:
    void BuildOrder() const {
        order_.clear();
        order_.reserve(added_.size());
        for (const auto& chain : buckets_)
            for (auto it = chain.rbegin(); it != chain.rend(); ++it)
                order_.push_back(*it);
    }

    TextForm form_;
    std::vector<std::unique_ptr<Node>> added_;                // owns the nodes, in adding order
    std::array<std::vector<Node*>, kProfileBuckets> buckets_; // each chain, its head at the back
    std::unordered_map<std::string, Node*, ProfileNameIndexHash, std::equal_to<>>
        index_;                              // name -> head-most node of that name
    mutable std::vector<const Node*> order_; // index order, rebuilt after a change
};

} // namespace quillon
