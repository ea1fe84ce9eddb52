// The table of numbered listing slots, the same on every host; what a slot
// holds is each host's own (listing_posix.cpp, listing_win32.cpp).

#include "engine/file_system.hpp"

namespace vantrel {

ListingSlots::ListingSlots() = default;

ListingSlots::~ListingSlots() {
  for (std::size_t i = 0; i < slots_.size(); ++i) CloseListing(static_cast<int>(i));
}

ListingSlots::Slot* ListingSlots::SlotAt(int slot) const {
  if (slot < 0 || static_cast<std::size_t>(slot) >= slots_.size()) return nullptr;
  return slots_[static_cast<std::size_t>(slot)].get();
}

ListingSlots::Slot& ListingSlots::EnsureSlot(int slot) {
  if (static_cast<std::size_t>(slot) >= slots_.size()) slots_.resize(static_cast<std::size_t>(slot) + 1);
  auto& p = slots_[static_cast<std::size_t>(slot)];
  if (!p) p.reset(NewSlot());
  return *p;
}

}  // namespace vantrel
