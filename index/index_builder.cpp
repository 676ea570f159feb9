#include "index_builder.h"

#include <iterator>
#include <map>
#include <unordered_map>
#include <utility>

#include "index_traversal.h"

using namespace face_index_detail;

namespace {

// One long list's items by key, in list order; `unordered` once the list
// holds a NaN key, which no order can place: such a list is walked.
struct Node_Order {
  bool unordered = false;
  std::multimap<float, HLR_Index_Item*> by_key;
};

}  // namespace

struct HLR_Index_Builder::Orders {
  std::unordered_map<const HLR_Index_Node*, Node_Order> of_node;
};

HLR_Index_Builder::HLR_Index_Builder(HLR_Index_Node* root) : root_(root) {}

HLR_Index_Builder::~HLR_Index_Builder() = default;

void HLR_Index_Builder::insert(HLR_Index_Item* item) {
  HLR_Index_Node* node = node_for(item, root_);
  const float key = item->z_min;
  Node_Order* order = nullptr;
  if (orders_ != nullptr) {
    const auto found = orders_->of_node.find(node);
    if (found != orders_->of_node.end()) order = &found->second;
  }
  if (order == nullptr) {
    // Lists are walked until a walk passes walk_limit items; short lists
    // cost no allocation beyond index_insert's.
    const Sorted_Place place = insert_sorted(node, item);
    if (place.passed < walk_limit) return;
    // The list has grown long: keep its items in order beside it from now
    // on (a NaN key in it makes it unordered, walked for good). Should that
    // fail, the item is unlinked again before the exception leaves.
    try {
      Node_Order copy;
      for (HLR_Index_Item* i = node->items; i->next_item != nullptr; i = i->next_item) {
        if (i->z_min != i->z_min) {
          copy.unordered = true;
          copy.by_key.clear();
          break;
        }
        copy.by_key.emplace_hint(copy.by_key.end(), i->z_min, i);
      }
      if (orders_ == nullptr) orders_ = std::make_unique<Orders>();
      orders_->of_node.emplace(node, std::move(copy));
    } catch (...) {
      if (place.previous == nullptr) {
        node->items = item->next_item;
      } else {
        place.previous->next_item = item->next_item;
      }
      item->next_item = nullptr;
      throw;
    }
    return;
  }
  if (order->unordered || key != key) {
    // A NaN key stops the list walk where it stands: only the walk itself
    // places it, and such a list is walked from then on.
    order->unordered = true;
    order->by_key.clear();
    insert_sorted(node, item);
    return;
  }
  // The walk puts the item in front of the first item whose key is not
  // smaller, that is after the last item whose key is smaller (the list is
  // sorted without NaN): lower_bound finds that place among the keys, and
  // a new key goes in front of equal ones there, as in the list. The order
  // is updated first; linking cannot fail.
  const auto place = order->by_key.lower_bound(key);
  HLR_Index_Item* previous = place == order->by_key.begin() ? nullptr : std::prev(place)->second;
  order->by_key.emplace_hint(place, key, item);
  if (previous == nullptr) {
    item->next_item = node->items;
    node->items = item;
  } else {
    item->next_item = previous->next_item;
    previous->next_item = item;
  }
}
