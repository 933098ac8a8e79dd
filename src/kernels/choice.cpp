#include <span>

#include "kernels/kernels.hpp"
#include "kernels/runnable.hpp"

namespace mean {
namespace {

const kernel_list& runnable_sets() noexcept {
    static const kernel_list found = [] {
        kernel_list list;
        list.add(portable_kernels);
        add_runnable_kernels(list);
        return list;
    }();
    return found;
}

}  // namespace

std::span<const kernel_set* const> runnable_kernels() {
    const kernel_list& found = runnable_sets();
    return {found.sets.data(), found.count};
}

const kernel_set& chosen_kernels() {
    const kernel_list& found = runnable_sets();
    return *found.sets[found.count - 1];
}

}  // namespace mean
