#include "service/ServiceEnvironment.h"

namespace lirra {

namespace {
ServiceEnvironment& installed() {
    static ServiceEnvironment environment;
    return environment;
}
}  // namespace

void installServiceEnvironment(const ServiceEnvironment& environment) { installed() = environment; }

const ServiceEnvironment& serviceEnvironment() { return installed(); }

}  // namespace lirra
