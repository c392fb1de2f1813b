// The game's own script group and node: the compiler makes application nodes from the
// application node pool, and the group's run owns the scene's views while the story runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/backlog_history.h"
#include "script/script_node.h"

namespace host {
class MenuModel;
}

class ScriptStateGroup_App;
struct GameCycleServices;

class ScriptStateNode_App : public TextScript::ScriptStateNode {
public:
    using TextScript::ScriptStateNode::ScriptStateNode;

    // Runs one story node by its command code; codes without a story command of their own run
    // the base behaviour. A script error that leaves it carries this node's line.
    TextScript::ScriptStateNode* Execute() override;

    // Blocks come from the script layer's story-node pool; an empty pool raises the error
    // exception, and a constructor that fails gives its block back before the error travels on.
    static void* operator new(std::size_t size);
    static void operator delete(void* block) noexcept;

    // The group the node belongs to (the compiler makes application nodes in application groups
    // only; another group raises the error exception).
    ScriptStateGroup_App& AppGroup() const;

private:
    TextScript::ScriptStateNode* Dispatch();
};

class ScriptStateGroup_App : public TextScript::ScriptStateGroup {
public:
    static constexpr std::size_t kDebugJumpLabelUnits = 32;  // 31 characters and a terminator

    std::unique_ptr<TextScript::ScriptStateNode> CreateNode() override;
    // Builds the scene's views, shows and plays again what the scene-state records remember (a
    // loaded game's picture and sounds), runs the story from `page` (-1: from the head) and takes
    // the views down again, however the run is left. Returns 0 (the story ended), 1 (back to the
    // title) or RequestedLoadSlot + 2 (load that slot). A back-to-title or load request that
    // arrives in the frame after the teardown still decides the result.
    std::int32_t Run(std::int32_t page) override;
    // kNotifyGoBack hides the message window at once, stops the four stream channels and
    // forgets what they played (answers 1); every other message answers 0.
    std::intptr_t Notify(std::uint32_t message, std::intptr_t argument) override;
    // Each jump of the base commands and the jump tables is a "jump" game event.
    void Jumped(std::u16string_view label) const override;
    // The application's frame step and the held word of its input record.
    void StepFrame() override;
    std::uint32_t HeldInput() override;

    // The scene names the story has reached (kept upper-cased), saved with the global records.
    void AddSceneName(std::u16string_view name);
    bool ContainsAppName(std::u16string_view name) const;
    void ClearSceneNames() { scene_names_.clear(); }
    const std::vector<std::u16string>& scene_names() const { return scene_names_; }

    // The debug window's jump: a label (cut to 31 characters) and the request to jump to it.
    void RequestDebugJump(std::u16string_view label);
    std::u16string_view debug_jump_label() const { return debug_jump_label_; }
    std::uint32_t debug_jump_request() const { return debug_jump_request_; }
    void ClearDebugJump() { debug_jump_request_ = 0; }

    // The window's menu, whose save and debug items the page waits enable; may be null.
    void SetMenu(host::MenuModel* menu) { menu_ = menu; }
    // What the cycle that runs this group calls for saves and screens (the page wait's quick save
    // and quick load among them); null outside RunSession.
    void SetServices(const GameCycleServices* services) { services_ = services; }
    const GameCycleServices* services() const { return services_; }
    void EnableMenuItem(int command, bool enabled);

    // The messages shown during this game cycle, for the backlog.
    BacklogHistory& backlog() { return backlog_; }
    const BacklogHistory& backlog() const { return backlog_; }

private:
    std::vector<std::u16string> scene_names_;
    BacklogHistory backlog_;
    host::MenuModel* menu_ = nullptr;
    const GameCycleServices* services_ = nullptr;
    char16_t debug_jump_label_[kDebugJumpLabelUnits] = {};
    std::uint32_t debug_jump_request_ = 0;
};

// Offers the menu's save and debug window items while the story waits for the player (save not
// during a scene replay) and grays both again however the wait ends.
class StoryMenuOffer {
public:
    explicit StoryMenuOffer(ScriptStateGroup_App& group);
    ~StoryMenuOffer();
    StoryMenuOffer(const StoryMenuOffer&) = delete;
    StoryMenuOffer& operator=(const StoryMenuOffer&) = delete;

private:
    ScriptStateGroup_App& group_;
};

// The cycle result a back-to-title or load request stands for; any other request keeps `otherwise`.
std::int32_t CycleResultOfRequest(const ScriptException& request, std::int32_t otherwise);
