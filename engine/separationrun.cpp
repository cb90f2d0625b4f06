#include "separationrun.h"

#include <atomic>

namespace {
std::atomic<const SeparationRunGuard*> s_holder{nullptr};
}

SeparationRunGuard::~SeparationRunGuard()
{
    end();
}

bool SeparationRunGuard::begin()
{
    const SeparationRunGuard* expected = nullptr;
    return s_holder.compare_exchange_strong(expected, this);
}

void SeparationRunGuard::end()
{
    const SeparationRunGuard* expected = this;
    s_holder.compare_exchange_strong(expected, nullptr);
}

bool SeparationRunGuard::isHeld() const
{
    return s_holder.load() == this;
}

bool SeparationRunGuard::isBusy()
{
    return s_holder.load() != nullptr;
}
