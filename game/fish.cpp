// The fish: its trail, the rise control, its motion and the wall contact.
#include "game/world.h"

#include "shell/state.h"

void shiftTrail() {
    GameWorld& w = world;
    w.trailAccumulator = w.trailAccumulator - 1.0f;
    for (int k = 0; k < TRAIL_LENGTH - 1; ++k) w.fishTrail[k] = w.fishTrail[k + 1];
}

void applyControl() {
    GameWorld& w = world;
    double change = static_cast<double>(w.scrollSpeed) * frameDt * 0.15;
    w.fishVelocity =
        static_cast<float>(riseHeld == 1 ? w.fishVelocity + change : w.fishVelocity - change);
}

void moveFish() {
    world.fishTrail[TRAIL_LENGTH - 1] += world.fishVelocity * frameDt;
}

void wallContact() {
    GameWorld& w = world;
    float f = w.scrollFraction;
    float z = w.caveCenter[(w.columnCount + 2) % RING_SIZE] * (1 - f) +
              w.caveCenter[(w.columnCount + 3) % RING_SIZE] * f;
    float& height = w.fishTrail[TRAIL_LENGTH - 1];
    float d = height - z;
    double m = w.caveHalfHeight - 0.02;
    if (static_cast<double>(d) * d <= m * m) return;
    if (d > 0 && w.fishVelocity > 0) w.fishVelocity = -w.fishVelocity * 0.5f;
    if (d < 0 && w.fishVelocity < 0) w.fishVelocity = -w.fishVelocity * 0.5f;
    if (d > 0) height = static_cast<float>(z + m);
    if (height - z < 0) height = static_cast<float>(z - w.caveHalfHeight + 0.02);
    if (w.hitCooldown == 0) {
        fishEnergy = fishEnergy - HIT_COST > 0 ? fishEnergy - HIT_COST : 0;
        w.hitCooldown = HIT_COOLDOWN_COLUMNS;
    }
}
