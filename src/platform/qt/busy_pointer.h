// The application-wide busy mouse pointer, counted so that it can never be left on.
#pragma once

namespace velmora {

class BusyPointer {
  public:
    BusyPointer() = default;
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
    ~BusyPointer() { Reset(); }

    // true pushes the busy shape; false pops one push and is ignored when none is left, so
    // an unbalanced "off" cannot pop a pointer that someone else set.
    void Set(bool busy);
    // Pops every push still in place; run after each operation, whatever path it took.
    void Reset();
    [[nodiscard]] bool Active() const { return depth_ > 0; }

  private:
    int depth_ = 0;
};

}  // namespace velmora
