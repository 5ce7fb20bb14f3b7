#!/usr/bin/env python3
"""Plants small faults in the module, one at a time, and checks that the suite notices each one.

Each mutant is one textual change of the module's sources, the kind a tired programmer makes. For
each: the change is made in a private copy of the sources (build/mutants/src), only the module is
rebuilt there, and the tests named for the mutant run against that module (CORVEL_TEST_MODULE)
with the test binary of build/default. A mutant whose tests all pass is a gap in the suite.

    python3 scripts/mutants.py            every mutant
    python3 scripts/mutants.py NAME ...   the named ones
    python3 scripts/mutants.py --list

Needs build/default (cmake --preset default && cmake --build build/default). Exit code: 0 when
every mutant was caught, 1 when one was missed, 2 when a mutant could not be planted or built.
"""
import os
import shutil
import subprocess
import sys
from dataclasses import dataclass

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "mutants")
COPY = os.path.join(WORK, "src")
BUILD = os.path.join(WORK, "build")
# CORVEL_MUTANT_TESTS names another test binary (e.g. an older suite, to compare).
TESTS = os.environ.get("CORVEL_MUTANT_TESTS") or os.path.join(ROOT, "build", "default", "tests", "corvel_tests")


# The whole suite, less the cases that only read files or run the validator (slow, and not about
# the module's behaviour).
ALL = "*-Validate*:Validator*:PrefsFile*:Image*:HostResources*:ResourceReader*:ResourceCheck*"


@dataclass
class Mutant:
    name: str
    what: str
    path: str  # relative to the repository
    old: object  # the text to change (must occur exactly once), or a list of them
    new: object  # its replacement, or a list matching `old`
    tests: str  # gtest filter


MUTANTS = [
    Mutant("swapped-bool-keys", "keys 7024 and 7025 swapped in the settings table",
           "source/corvel_settings.h",
           ["IDC_FORCE_PARAM5021, 7025)", "IDC_FORCE_PARAM6021, 7024)"],
           ["IDC_FORCE_PARAM5021, 7024)", "IDC_FORCE_PARAM6021, 7025)"],
           "SettingsTest.*"),
    Mutant("swapped-int-keys", "keys 7002 and 7003 swapped in the settings table",
           "source/corvel_settings.h",
           ["IDC_FRAMERANGE, 7002)", "IDC_OUTPUT, 7003)"],
           ["IDC_FRAMERANGE, 7003)", "IDC_OUTPUT, 7002)"],
           "SettingsTest.*"),
    Mutant("save-skips-read-gadgets", "the save does not copy the gadgets first",
           "source/corvel.cpp", "Bool CorvelDialog::SaveSettings() {\n    ReadGadgets();",
           "Bool CorvelDialog::SaveSettings() {", "SettingsTest.*"),
    Mutant("save-merges", "the save passes the merge flag",
           "source/corvel.cpp", "SetWorldPluginData(CORVEL_PLUGIN_ID, bc, false)",
           "SetWorldPluginData(CORVEL_PLUGIN_ID, bc, true)", "SettingsTest.*"),
    Mutant("open-position", "Execute opens at 0, 0 instead of where the host chooses",
           "source/corvel.cpp", "dialog.Open(DLG_TYPE::ASYNC, CORVEL_PLUGIN_ID, -1, -1, 0, 0, 0, OPENDIALOGFLAGS::NONE)",
           "dialog.Open(DLG_TYPE::ASYNC, CORVEL_PLUGIN_ID, 0, 0, 0, 0, 0, OPENDIALOGFLAGS::NONE)", "CommandTest.*"),
    Mutant("open-size", "Execute asks for a default size",
           "source/corvel.cpp", "dialog.Open(DLG_TYPE::ASYNC, CORVEL_PLUGIN_ID, -1, -1, 0, 0, 0, OPENDIALOGFLAGS::NONE)",
           "dialog.Open(DLG_TYPE::ASYNC, CORVEL_PLUGIN_ID, -1, -1, 400, 300, 0, OPENDIALOGFLAGS::NONE)", "CommandTest.*"),
    Mutant("open-flags", "Execute passes flags",
           "source/corvel.cpp", "dialog.Open(DLG_TYPE::ASYNC, CORVEL_PLUGIN_ID, -1, -1, 0, 0, 0, OPENDIALOGFLAGS::NONE)",
           "dialog.Open(DLG_TYPE::ASYNC, CORVEL_PLUGIN_ID, -1, -1, 0, 0, 0, OPENDIALOGFLAGS::IGNORELAYOUT)", "CommandTest.*"),
    Mutant("restore-sub-id", "RestoreLayout passes sub-ID 1",
           "source/corvel.cpp", "dialog.RestoreLayout(CORVEL_PLUGIN_ID, 0, secret)",
           "dialog.RestoreLayout(CORVEL_PLUGIN_ID, 1, secret)", "CommandTest.*"),
    Mutant("console-order", "the resource failure line comes before the plug-in folder",
           "source/corvel.cpp",
           "    GePrint(pluginFolder.GetString());\n    const Bool ok = LoadDialogResource(DLG_CORVEL, &dialogResource, 0);\n",
           "    const Bool ok = LoadDialogResource(DLG_CORVEL, &dialogResource, 0);\n"
           "    if (!ok)\n        GePrint(\"Corvel: could not load the resource file.\"_s);\n"
           "    GePrint(pluginFolder.GetString());\n    if (ok) {}\n",
           "CommandTest.*:DialogLayoutTest.*"),
    Mutant("name-twice", "the registration passes the name as the help text",
           "source/corvel.cpp", "GeLoadString(IDS_CORVEL_HELP), NewObjClear(Corvel)",
           "GeLoadString(IDS_CORVEL_NAME), NewObjClear(Corvel)", "CommandTest.*"),
    Mutant("timer-answer", "the timer message is answered 0",
           "host/c4d_gui.cpp", "        Timer(msg);\n        return 1;", "        Timer(msg);\n        return 0;",
           "DialogLifecycleTest.*"),
    Mutant("interaction-arguments", "'inta' asks the interaction check with other arguments",
           "host/c4d_gui.cpp", "c4d_link::CheckInteraction(1, 1, 1);", "c4d_link::CheckInteraction(1, 1, 0);",
           "DialogLifecycleTest.*"),
    Mutant("interaction-unmapped", "'inta' is not mapped",
           "host/c4d_gui.cpp", "    case BFM_INTERACTSTART:\n        c4d_link::CheckInteraction(1, 1, 1);\n        return 0;\n", "",
           "DialogLifecycleTest.*"),
    Mutant("release-flag", "the module resource is loaded with the release flag off",
           "host/c4d_resource.cpp", 'Init(c4d_link::Join(GeGetPluginPath(), maxon::String("res")), true)',
           'Init(c4d_link::Join(GeGetPluginPath(), maxon::String("res")), false)', "LifecycleTest.*"),
    Mutant("frees-refused-object", "the registration destroys a command object the host refused",
           "host/c4d_plugin.cpp", "    return accepted;\n}", "    if (!accepted)\n        DestroyCommand(dat);\n    return accepted;\n}",
           "*RefusedRegistrationTest.*:LifecycleTest.*"),
    Mutant("framework-uses", "a plug-in unit records a wrong header for its string use",
           "generated/hxx/unit_registration.hxx", '"maxon/string.h")};', '"maxon/strings.h")};', "BindingTest.*"),
    Mutant("start-fails-without-strings", "start answers false when its name cannot be made",
           "source/corvel.cpp", "    return RegisterCommandPlugin(CORVEL_PLUGIN_ID, GeLoadString(IDS_CORVEL_NAME), 0, icon,",
           "    if (GeLoadString(IDS_CORVEL_NAME).IsEmpty())\n        return false;\n"
           "    return RegisterCommandPlugin(CORVEL_PLUGIN_ID, GeLoadString(IDS_CORVEL_NAME), 0, icon,",
           "LifecycleTest.*"),
    # Beyond the list above: a sweep over the rest of the module, run against the whole suite.
    Mutant("restore-without-guard", "the restore flips the disabled bit without looking",
           "source/corvel_render.cpp", "if (vp && vp->GetBit(BIT_VPDISABLED))", "if (vp)", ALL),
    Mutant("restore-skipped-on-failure", "a derivation that failed is not restored",
           "source/corvel.cpp", "    RestoreEffects(rd, switchedOff);\n    rd->SetData(backup, true);",
           "    if (!prepared)\n        return false;\n    RestoreEffects(rd, switchedOff);\n    rd->SetData(backup, true);", ALL),
    Mutant("restore-replaces", "the backup is written back without merge",
           "source/corvel.cpp", "rd->SetData(backup, true);", "rd->SetData(backup, false);", ALL),
    Mutant("no-update-message", "no update message after applying the derived settings",
           "source/corvel.cpp", "        rd->Message(MSG_UPDATE);\n        EventAdd();", "        EventAdd();", ALL),
    Mutant("no-event-add", "no EventAdd before the render",
           "source/corvel.cpp", "        EventAdd();\n", "", ALL),
    Mutant("render-command-swapped", "editor and Picture Viewer commands swapped",
           "source/corvel_render.cpp", "output == OUTPUT_EDITOR ? COMMAND_RENDER_EDITOR : COMMAND_RENDER_PICTURE_VIEWER",
           "output == OUTPUT_EDITOR ? COMMAND_RENDER_PICTURE_VIEWER : COMMAND_RENDER_EDITOR", ALL),
    Mutant("antialiasing-geometry", "geometry antialiasing written as best",
           "source/corvel_render.cpp", "case 6001: return 1;", "case 6001: return 2;", ALL),
    Mutant("filter-reversed", "the antialiasing filter reversed",
           "source/corvel_render.cpp", "aaFilter == 6010 ? 0 : 1", "aaFilter == 6010 ? 1 : 0", ALL),
    Mutant("frame-range-all", "all frames written as the preview range",
           "source/corvel_render.cpp", "case 6023: return 2;", "case 6023: return 3;", ALL),
    Mutant("resolution-in-editor", "the resolution is divided for the editor too",
           "source/corvel_render.cpp", "if (s.output != OUTPUT_PICTURE_VIEWER || s.resolutionFraction <= RESOLUTION_FRACTION_BASE)",
           "if (s.resolutionFraction <= RESOLUTION_FRACTION_BASE)", ALL),
    Mutant("resolution-rounded", "the divided resolution is rounded down",
           "source/corvel_render.cpp", "w.SetFloat(PARAM_XRES, width / divisor);",
           "w.SetFloat(PARAM_XRES, static_cast<Float>(static_cast<Int32>(width / divisor)));", ALL),
    Mutant("force-6021-without-6019", "6021 forced on although 6019 is forced off",
           "source/corvel_render.cpp", "        w.SetBool(6019, false);\n    else\n",
           "        w.SetBool(6019, false);\n", ALL),
    Mutant("6017-group-partial", "6018 not forced off with its group",
           "source/corvel_render.cpp", "        w.SetBool(6018, false);\n", "", ALL),
    Mutant("effects-master-ignored", "5401 not forced off by the master switch",
           "source/corvel_render.cpp", "        w.SetBool(PARAM_ENABLE_EFFECTS, false);", "        (void)0;", ALL),
    Mutant("user-disabled-effect-marked", "an effect the user disabled is marked as switched off",
           "source/corvel_render.cpp", "if (!vp || vp->GetBit(BIT_VPDISABLED))", "if (!vp)", ALL),
    Mutant("button-value", "the button's action carries value 0",
           "source/corvel_render.cpp", "constexpr Int32 BUTTON_ACTION_VALUE = 1;", "constexpr Int32 BUTTON_ACTION_VALUE = 0;", ALL),
    Mutant("enabling-7004", "10013 enabled without its 7004 switch",
           "source/corvel.cpp", "Enable(IDC_PRESS_BUTTON28501, !editor && settings.setParam7004);",
           "Enable(IDC_PRESS_BUTTON28501, !editor);", ALL),
    Mutant("enabling-filter", "the filter box enabled with antialiasing none",
           "source/corvel.cpp", "Enable(IDC_AAFILTER, settings.antialiasing != ANTIALIASING_NONE);",
           "Enable(IDC_AAFILTER, true);", ALL),
    Mutant("ask-close-refuses", "closing is refused",
           "source/corvel.cpp", "Bool CorvelDialog::AskClose() { return false; }", "Bool CorvelDialog::AskClose() { return true; }", ALL),
    Mutant("unlisted-command-false", "an action the table does not list is answered false",
           "source/corvel.cpp", "        // The quality box is shown, but nothing reads its choice.\n        break;",
           "        return false;", ALL),
    Mutant("combo-text", "a combo entry's text changed",
           "source/corvel.cpp", '{6021, "Preview range"}', '{6021, "Preview Range"}', ALL),
    Mutant("menu-ids-swapped", "the File menu's two entries carry each other's ids",
           "source/corvel.cpp", ["constexpr Int32 MENU_RESET_SETTINGS = 5050;", "constexpr Int32 MENU_SAVE_SETTINGS = 5055;"],
           ["constexpr Int32 MENU_RESET_SETTINGS = 5055;", "constexpr Int32 MENU_SAVE_SETTINGS = 5050;"], ALL),
    Mutant("about-version", "the About box names another version",
           "source/corvel.cpp", '"Corvel v1.2\\n"', '"Corvel v1.3\\n"', ALL),
    Mutant("help-file-name", "the help file is looked for under another name",
           "source/corvel.cpp", 'Filename("Corvel.pdf")', 'Filename("corvel.pdf")', ALL),
    Mutant("reset-without-enabling", "Reset settings does not recompute the enabled gadgets",
           "source/corvel.cpp", "        WriteGadgets();\n        UpdateEnabling();\n        break;", "        WriteGadgets();\n        break;", ALL),
    Mutant("no-load-line", "a failed settings load prints nothing",
           "source/corvel.cpp", '        GePrint("Failed to load the Corvel settings."_s);\n', "", ALL),
    Mutant("save-no-message-box", "a refused save shows no message box",
           "source/corvel.cpp", '        MessageDialog("Corvel: failed to save the plugin preferences correctly."_s);\n', "", ALL),
    Mutant("version-boundary", "a host of exactly 2023000 is refused",
           "host/c4d_main.cpp", "api->apiVersion < C4D_API_VERSION", "api->apiVersion <= C4D_API_VERSION", ALL),
    Mutant("nesting-ignored", "every end tears down",
           "host/c4d_main.cpp", "    if (--g_loadCount != 0)\n        return C4D_PL_ANSWER_OK;\n    PluginEnd();",
           "    --g_loadCount;\n    PluginEnd();", ALL),
    Mutant("message-zero-false", "plug-in message 0 answered false",
           "source/main.cpp", "    case C4DMSG_PRIORITY:\n        return true;", "    case C4DMSG_PRIORITY:\n        return false;", ALL),
    Mutant("resource-retried", "a failed resource load is retried",
           "host/c4d_resource.cpp", "    if (loaded_)\n        return handle_ != nullptr;\n", "", ALL),
    Mutant("start-lines-swapped", "the blank line comes first",
           "source/main.cpp", ['    GePrint(registered ? "Tarnwick', '    GePrint(" "_s);\n    return registered;'],
           ['    GePrint(" "_s);\n    GePrint(registered ? "Tarnwick', '    return registered;'], ALL),
    Mutant("icon-ratio", "the icon's pixel ratio is 2",
           "source/corvel.cpp", 'AutoBitmap icon("corvel.tif"_s, 1.0);', 'AutoBitmap icon("corvel.tif"_s, 2.0);', ALL),
    Mutant("sync-unmapped", "'sync' is not passed to CoreMessage",
           "host/c4d_gui.cpp", "    case BFM_SYNC_MESSAGE:\n", "", ALL),
    Mutant("values-without-layout", "'bVIN' shows the record without a layout",
           "host/c4d_gui.cpp", "return layoutBuilt_ ? InitValues() : true;", "return InitValues();", ALL),
    Mutant("layout-rebuilt", "'bINI' builds the layout again while it stands",
           "host/c4d_gui.cpp", "        if (layoutBuilt_)\n            return true;\n", "", ALL),
    Mutant("action-without-id", "an action without 'meid' is answered as refused",
           "host/c4d_gui.cpp", "return Command(msg.GetInt32(BFM_ACTION_ID, 0), msg);",
           "return msg.GetInt32(BFM_ACTION_ID, -1) < 0 ? 0 : Command(msg.GetInt32(BFM_ACTION_ID, 0), msg);", ALL),
    Mutant("update-before-restore", "the last update message is sent before the backup is written back",
           "source/corvel.cpp",
           "    rd->SetData(backup, true);\n    rd->Message(MSG_UPDATE);",
           "    rd->Message(MSG_UPDATE);\n    rd->SetData(backup, true);",
           "RenderEvents.*"),
    Mutant("update-before-effects-back", "the last update message is sent before the effects are switched back on",
           "source/corvel.cpp",
           "    RestoreEffects(rd, switchedOff);\n    rd->SetData(backup, true);\n    rd->Message(MSG_UPDATE);",
           "    rd->Message(MSG_UPDATE);\n    RestoreEffects(rd, switchedOff);\n    rd->SetData(backup, true);",
           "RenderEvents.*"),
    Mutant("event-add-flags", "EventAdd is called with a flag",
           "source/corvel.cpp", "        EventAdd();", "        EventAdd(EVENT::FORCEREDRAW);", "RenderEvents.*"),
    Mutant("render-without-reading-gadgets", "the render uses the record without reading the gadgets first",
           "source/corvel.cpp", "Bool CorvelDialog::StartRender(BaseDocument* doc) {\n    ReadGadgets();",
           "Bool CorvelDialog::StartRender(BaseDocument* doc) {", "RenderEvents.*"),
]


def run(cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def fresh_copy():
    if os.path.isdir(COPY):
        shutil.rmtree(COPY)
    ignore = shutil.ignore_patterns("build", ".git")
    shutil.copytree(ROOT, COPY, ignore=ignore)


def configure():
    if os.path.exists(os.path.join(BUILD, "build.ninja")):
        return True
    r = run(["cmake", "-S", COPY, "-B", BUILD, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
             "-DCORVEL_BUILD_BENCH=OFF"])
    if r.returncode != 0:
        print(r.stdout)
    return r.returncode == 0


def module_path():
    for name in ("corvel.xso64", "corvel.xdl64", "corvel.xlib"):
        p = os.path.join(BUILD, name)
        if os.path.exists(p):
            return p
    return None


def try_mutant(m):
    target = os.path.join(COPY, m.path)
    with open(target) as f:
        original = f.read()
    olds = m.old if isinstance(m.old, list) else [m.old]
    news = m.new if isinstance(m.new, list) else [m.new]
    mutated = original
    for old, new in zip(olds, news):
        if mutated.count(old) != 1:
            return "not planted: %r occurs %d times in %s" % (old, mutated.count(old), m.path)
        mutated = mutated.replace(old, new)
    try:
        with open(target, "w") as f:
            f.write(mutated)
        r = run(["cmake", "--build", BUILD, "--target", "corvel_shipped"])
        if r.returncode != 0:
            return "not built:\n" + r.stdout[-2000:]
        env = dict(os.environ, CORVEL_TEST_MODULE=module_path())
        r = run([TESTS, "--gtest_filter=" + m.tests, "--gtest_brief=1"], env=env)
        prefix = "[  FAILED  ] "
        failed = [line[len(prefix):].split(" (")[0] for line in r.stdout.splitlines()
                  if line.startswith(prefix) and not line[len(prefix):][:1].isdigit()]
        if r.returncode == 0:
            return None
        return failed or ["(the test binary exited with %d)" % r.returncode]
    finally:
        with open(target, "w") as f:
            f.write(original)


def main(argv):
    if "--list" in argv:
        for m in MUTANTS:
            print("%-28s %s" % (m.name, m.what))
        return 0
    chosen = [m for m in MUTANTS if not argv or m.name in argv]
    unknown = set(argv) - {m.name for m in MUTANTS}
    if unknown:
        print("unknown mutant(s): " + ", ".join(sorted(unknown)), file=sys.stderr)
        return 2
    if not os.path.exists(TESTS):
        print("build/default is not built (cmake --preset default && cmake --build build/default)", file=sys.stderr)
        return 2
    fresh_copy()
    if not configure():
        return 2
    missed = broken = 0
    for m in chosen:
        outcome = try_mutant(m)
        if outcome is None:
            missed += 1
            print("MISSED  %-28s %s (tests %s all passed)" % (m.name, m.what, m.tests))
        elif isinstance(outcome, str):
            broken += 1
            print("ERROR   %-28s %s" % (m.name, outcome))
        else:
            print("caught  %-28s %s: %s" % (m.name, m.what, ", ".join(outcome[:3])))
    # The unchanged module must pass the same tests, or "caught" means nothing.
    r = run(["cmake", "--build", BUILD, "--target", "corvel_shipped"])
    env = dict(os.environ, CORVEL_TEST_MODULE=module_path())
    filters = ":".join(sorted({m.tests for m in chosen}))
    r = run([TESTS, "--gtest_filter=" + filters, "--gtest_brief=1"], env=env)
    print("unchanged module: %s" % ("passes" if r.returncode == 0 else "FAILS (results above mean nothing)"))
    print("%d mutant(s): %d caught, %d missed, %d not planted or built" %
          (len(chosen), len(chosen) - missed - broken, missed, broken))
    if r.returncode != 0 or broken:
        return 2
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
