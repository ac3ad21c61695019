#include "engine/node_spacing.h"

double staggerShare(std::size_t place) {
  double share = 0;
  double half = 0.5;
  for (; place != 0; place >>= 1, half /= 2)
    if ((place & 1) != 0) share += half;
  return share;
}

double nodeStretch(std::size_t lines, std::int64_t gapMicros, std::int64_t pauseMicros) {
  if (gapMicros <= 0 || pauseMicros <= 0) return 1;
  const double round = static_cast<double>(lines) * static_cast<double>(gapMicros);
  const double pause = static_cast<double>(pauseMicros);
  return round > pause ? round / pause : 1;
}

NodeSpacing::Seat NodeSpacing::join(std::uint32_t node, std::int64_t now, std::int64_t pauseMicros,
                                    std::int64_t& first) {
  first = now;
  if (gap_ <= 0) return {};
  Node& n = nodes_[node];
  std::size_t place = 0;
  while (place < n.places.size() && n.places[place]) ++place;
  if (place == n.places.size())
    n.places.push_back(true);
  else
    n.places[place] = true;
  // Lines that come while none is seated start a new count of places.
  if (seated_++ == 0) epoch_ = now;
  const std::int64_t offset =
      static_cast<std::int64_t>(staggerShare(place) * static_cast<double>(pauseMicros));
  std::int64_t at = epoch_ + offset;
  // A line that comes after its place has passed takes it a pause later,
  // unless it has only just passed.
  if (at < now - pauseMicros / 4) at += ((now - at) / pauseMicros + 1) * pauseMicros;
  first = at < now ? now : at;
  return {&n, place};
}

void NodeSpacing::leave(const Seat& seat) {
  if (seat.node == nullptr) return;
  seat.node->places[seat.place] = false;
  if (seated_ > 0) --seated_;
}
