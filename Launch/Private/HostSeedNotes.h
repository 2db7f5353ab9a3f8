#pragma once

// What help tells a person to type against zorbackend: the values of its seed (Config/LocalBackend.json) and
// of its demo catalog and builds.

inline constexpr const char* DemoUserNote =
    "zorbackend's demo user: DemoPlayer, id 5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e, demo@example.com / "
    "demo-password";
inline constexpr const char* SecondUserNote =
    "zorbackend's second user: DemoRival, id 7c1e5a9b3d2f4e6c8a0b1c2d3e4f5a6b, rival@example.com / "
    "rival-password, console ticket rival-console-ticket";
inline constexpr const char* DemoCatalogNote =
    "zorbackend's catalog: namespace qx, offers qx-offer-sword, qx-offer-bundle and qx-offer-gold";
inline constexpr const char* DemoBuildsNote = "zorbackend serves LABEL Live on PLATFORM Windows or Linux "
                                              "(SUBLABEL Test); the demo user owns ZorDemoGame";
