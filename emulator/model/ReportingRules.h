#pragma once

// The AIS reporting intervals, shared by the single vessel and the fleet.

#include <cstdint>

// Messages 5, 19 and 24: static and voyage data every six minutes.
inline constexpr std::uint64_t kStaticDataIntervalMs = 360000;

// Message 1: the class A interval for the status (at anchor and moored have their own
// rows), the speed and whether the vessel turns.
std::uint64_t ClassAIntervalMs(int navStatus, double speedKnots, bool turning);

// Message 18: the class B interval for the speed.
std::uint64_t ClassBIntervalMs(double speedKnots);
