// The compact build's window: 256 × 84 pixels in four pages (transport,
// equaliser, track list, jog with jumps and loops) that the page button
// cycles through.
#include "editor/EditorControls.h"
#include "editor/SkinBitmaps.h"

void EditorControls::buildCompact(const SkinBitmaps& skin, ControlListener* listener) {
    pageCount = 4;
    pageBackgrounds[0] = skin.get(114);
    pageBackgrounds[1] = skin.get(122);
    pageBackgrounds[2] = skin.get(136);
    pageBackgrounds[3] = skin.get(144);
    Control* nextPage = put(new MomentaryButton({236, 64, 252, 80}, listener, 7, skin.get(125), 16, {0, 0}),
                            Role::NextPage);

    buildEqualiser(skin, listener, skin.get(122), 6, {218, 64, 244, 80});

    put(new PressButton({4, 4, 232, 10}, listener, 22, skin.get(140), 6, {0, 0}), Role::ListUp);
    put(new PressButton({4, 74, 232, 80}, listener, 23, skin.get(137), 6, {0, 0}), Role::ListDown);
    put(new MomentaryButton({236, 24, 252, 40}, listener, 24, skin.get(138), 16, {0, 0}), Role::SaveList);
    put(new MomentaryButton({236, 44, 252, 60}, listener, 25, skin.get(139), 16, {0, 0}), Role::DeleteSelected);
    // Four full rows between y 10 and 74; a fifth lets one show in part at each end while scrolling.
    buildRows(listener, 5, 10, 224, skin.get(141), skin.get(142));
    listScroll = put(verticalSlider({224, 10, 232, 74}, listener, 31, skin.get(143), skin.get(136), false),
                     Role::ListScroll);
    scrollRowsWith(listScroll);
    Control* secondAdd = put(new PressButton({236, 4, 252, 20}, listener, 1, skin.get(116), 16, {0, 0}), Role::AddFiles);

    buildJogAndJumps(skin, listener, 32, 6, 34, 4, 20);
    // The background is taken from under the slider itself, so that moving
    // the handle leaves the page as painted.
    secondPitch =
        put(horizontalSlider({82, 36, 250, 52}, listener, 33, skin.get(115), skin.get(144), {82, 36}), Role::SecondPitch);
    const int32_t loopTops[3] = {56, 50, 66};
    buildLoops(skin, listener, 50, loopTops);

    // The pages' views in the order they are added to the window.
    for (int32_t tag = 1; tag <= 11; ++tag) pages[0].push_back(byTag[tag]);
    pages[0].push_back(byTag[59]); // Sync, over the key
    pages[0].insert(pages[0].end(), labels.begin(), labels.end());
    pages[0].push_back(about);
    for (int32_t tag = 12; tag <= 21; ++tag) pages[1].push_back(byTag[tag]);
    pages[1].push_back(nextPage);
    for (int32_t tag = 22; tag <= 31; ++tag) pages[2].push_back(byTag[tag]);
    for (int32_t k = 0; k < rowCount; ++k) pages[2].push_back(rowLabels[k]);
    pages[2].push_back(secondAdd);
    pages[2].push_back(nextPage);
    for (int32_t tag = 32; tag <= 58; ++tag) pages[3].push_back(byTag[tag]);
    pages[3].push_back(nextPage);
    pages[3].push_back(pitchReset);
}
