#include "app/AppModel.h"

namespace velorin {

void AppModel::setIsFollowingUser(bool on)
{
    publish(isFollowingUser_, on);
}

void AppModel::setIs3D(bool on)
{
    publish(is3D_, on);
}

void AppModel::mapDidFail(const std::string& message)
{
    if (state_.kind != LoadState::Kind::ready)
        return;
    publish(state_, LoadState::failed(message));
}

} // namespace velorin
