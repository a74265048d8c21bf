// SPDX-License-Identifier: GPL-3.0-or-later
// What subsystems may ask of the screens without depending on the app itself.
#pragma once

namespace lirra {

class Screens {
  public:
    virtual ~Screens() = default;
    virtual void loadHomeScreen() = 0;
    virtual void loadPlayerScreen() = 0;
};

}  // namespace lirra
