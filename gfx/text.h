#pragma once
void loadFont();
