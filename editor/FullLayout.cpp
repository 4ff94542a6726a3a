// The full build's window: 256 × 350 pixels showing everything at once:
// the transport strip, the equaliser, the jog with jumps and loops, and a
// track list of six rows.
#include "editor/EditorControls.h"
#include "editor/SkinBitmaps.h"

void EditorControls::buildFull(const SkinBitmaps& skin, ControlListener* listener) {
    pageCount = 1;
    Bitmap* window = skin.get(155);
    pageBackgrounds[0] = window;

    buildEqualiser(skin, listener, window, 86, {222, 144, 248, 160});
    buildJogAndJumps(skin, listener, 34, 164, 36, 164, 184);
    const int32_t loopTops[3] = {210, 202, 220};
    buildLoops(skin, listener, 52, loopTops);

    put(new MomentaryButton({216, 218, 232, 234}, listener, 24, skin.get(138), 16, {0, 0}), Role::SaveList);
    put(new MomentaryButton({236, 218, 252, 234}, listener, 25, skin.get(139), 16, {0, 0}), Role::DeleteSelected);
    put(new PressButton({4, 238, 252, 244}, listener, 22, skin.get(160), 6, {0, 0}), Role::ListUp);
    put(new PressButton({4, 340, 252, 346}, listener, 23, skin.get(159), 6, {0, 0}), Role::ListDown);
    // Six full rows between y 244 and 340, and a seventh for scrolling.
    buildRows(listener, 7, 244, 244, skin.get(157), skin.get(158));
    listScroll = put(verticalSlider({244, 244, 252, 340}, listener, 33, skin.get(143), window, false), Role::ListScroll);
    scrollRowsWith(listScroll);

    for (int32_t tag = 1; tag < tagCount; ++tag)
        if (byTag[tag]) pages[0].push_back(byTag[tag]);
    for (int32_t k = 0; k < rowCount; ++k) pages[0].push_back(rowLabels[k]);
    pages[0].insert(pages[0].end(), labels.begin(), labels.end());
    pages[0].push_back(about);
}
