#pragma once

void keyDown(int key);
void keyUp(int key);
