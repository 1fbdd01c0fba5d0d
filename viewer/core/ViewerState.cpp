#include "ViewerState.h"

namespace meshscope {

const char* const kCommandsHelpText = "x, y, z - rotate axes\r\n"
                                      "space -play/stop\r\n"
                                      "s / S - surface bright\r\n"
                                      "b - border on/off\r\n"
                                      "c - toggle color mode\r\n"
                                      "f - get data from file\r\n"
                                      "1 a 9 - smooth level\r\n"
                                      "+ / -  zooom\r\n"
                                      "0 - default zoom \r\n"
                                      "p - orthogonal / perspective\r\n"
                                      "r - reset counters\r\n";

const char* const kDataFileName = "datafile.dat";

void applyStartValues(ViewerState& state)
{
    state.zoom = 1.5;
    state.smoothLevel = 2;
    state.colorMode = 1;

    const Rgba grey{0.5f, 0.5f, 0.5f, 1.0f};
    state.matSpecular = grey;
    state.matDiffuse = grey;
    state.matAmbient = grey;
    state.shininess = 0.2f;
    state.lightAmbient = {0.0f, 0.0f, 0.0f, 1.0f};
    state.lightDiffuse = grey;
    state.lightSpecular = grey;

    state.rotation[0] = 35;
    state.rotation[1] = 0;
    state.rotation[2] = 25;
    state.animAxis = 3;
    state.animStep = 1;

    state.interpCount = 0;
    state.okCount = 0;
    markSetupChanged(state);
    markPictureChanged(state);
    ++state.gridRevision;
}

} // namespace meshscope
