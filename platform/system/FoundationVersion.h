// The platform version as the Foundation version number, which code tests to pick between older
// and newer behaviour. A variable, so that tests can run as an older system would.
#pragma once

extern double NSFoundationVersionNumber; // default: NSFoundationVersionNumber_iOS_9_0

inline constexpr double NSFoundationVersionNumber_iOS_6_0 = 993.00;
inline constexpr double NSFoundationVersionNumber_iOS_6_1 = 993.00;
inline constexpr double NSFoundationVersionNumber_iOS_7_0 = 1047.20;
inline constexpr double NSFoundationVersionNumber_iOS_7_1 = 1047.25;
inline constexpr double NSFoundationVersionNumber_iOS_8_0 = 1140.11;
inline constexpr double NSFoundationVersionNumber_iOS_8_1 = 1141.1;
inline constexpr double NSFoundationVersionNumber_iOS_8_2 = 1142.14;
inline constexpr double NSFoundationVersionNumber_iOS_8_3 = 1144.17;
inline constexpr double NSFoundationVersionNumber_iOS_8_4 = 1144.17;
inline constexpr double NSFoundationVersionNumber_iOS_9_0 = 1240.1;
