#!/usr/bin/env python3
"""Builds the Linux module corvel.xso64 from source/ and res/ with the host's own SDK.

    python3 scripts/sdk_build.py --sdk <SDK folder> [--out build/sdk] [--cache DIR] [-j N]
    python3 scripts/sdk_build.py --sdk <SDK folder> --syntax-only

--syntax-only compiles source/*.cpp against the SDK's headers with -fsyntax-only and the SDK's
settings (the Debug64 options of cinema.framework's Code::Blocks project up to release 2024; from
2025, whose projects are made by CMake, the settings of its CMake files), after the source
processor has run over cinema.framework and the frameworks it depends on. It builds nothing.

The SDK's way: the frameworks the plug-in links (cinema.framework and what its project definition
names, transitively) are built once as static libraries from the units and Debug64 options of
their Code::Blocks projects, after the SDK's source processor has run over them, and cached; the
plug-in folder (source/, res/, project/projectdefinition.txt) is staged under the output folder,
the source processor writes its generated/hxx, and its units are compiled with cinema.framework's
options and the plug-in's module id, then linked against the framework libraries. host/, the
project's generated/hxx and hostsim/ take no part.

The SDK folder is the one that holds frameworks/ (frameworks/settings/sourceprocessor, ...). The
module's exports and the libraries it needs are printed at the end.
"""
import argparse
import concurrent.futures
import hashlib
import os
import re
import shutil
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PLUGIN_ID = "com.tarnwicksoftware.corvel"
TARGET = "Debug64"
EXPORTS = ("c4d_main", "g_maxon", "g_CpuYieldDelegate")


def log(text):
    print("[sdk-build] " + text, flush=True)


def run(cmd, **kw):
    result = subprocess.run(cmd, **kw)
    if result.returncode != 0:
        raise SystemExit("failed (%d): %s" % (result.returncode, " ".join(cmd)))
    return result


def read_apis(project_definition):
    """The frameworks an SDK project definition names in its APIS= line."""
    apis = []
    with open(project_definition, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.split("//")[0].strip()
            if line.startswith("APIS="):
                apis += [a.strip() for a in line[5:].split(";") if a.strip()]
    return apis


def framework_order(frameworks_dir, start):
    """`start` and the frameworks it depends on, dependencies first."""
    order, seen = [], set()

    def visit(name):
        if name in seen:
            return
        seen.add(name)
        definition = os.path.join(frameworks_dir, name, "project", "projectdefinition.txt")
        if not os.path.isfile(definition):
            raise SystemExit("the SDK has no %s" % definition)
        for dep in read_apis(definition):
            visit(dep)
        order.append(name)

    visit(start)
    return order


def expand(text, variables):
    return re.sub(r"\$\(([A-Za-z0-9_.]+)\)", lambda m: variables.get(m.group(1), m.group(0)), text)


def cbp_settings(frameworks_dir, name, sdk_root):
    """Compiler options and unit files of a framework's Code::Blocks project (Debug64)."""
    project_dir = os.path.join(frameworks_dir, name, "project")
    cbp = os.path.join(project_dir, name + ".cbp")
    tree = ET.parse(cbp)
    variables = {"MAXON_ROOTDIR": sdk_root + "/", "MAXON_PROJECT_DIR": os.path.join(frameworks_dir, name) + "/"}
    for fw in os.listdir(frameworks_dir):
        if fw.endswith(".framework"):
            variables["MAXON_%s_ROOT_PATH" % fw.upper()] = os.path.join(frameworks_dir, fw) + "/"
    options = []
    for target in tree.getroot().iter("Target"):
        if target.get("title") != TARGET:
            continue
        compiler = target.find("Compiler")
        for add in compiler.findall("Add") if compiler is not None else []:
            option = add.get("option")
            if option is None:
                continue
            option = expand(option, variables)
            if option in ("-c", "-MMD", "-MP"):
                continue
            m = re.match(r"^-DMAXON_MODULE_ID=\\'(.*)\\'$", option)
            if m:
                option = "-DMAXON_MODULE_ID=" + m.group(1)
            m = re.match(r'^-iquote"(.*)"$', option)
            if m:
                options += ["-iquote", m.group(1)]
                continue
            options.append(option)
    if not options:
        raise SystemExit("no %s target in %s" % (TARGET, cbp))
    units = []
    for unit in tree.getroot().iter("Unit"):
        path = unit.get("filename")
        if path.endswith((".cpp", ".cc", ".c")):
            units.append(os.path.normpath(os.path.join(project_dir, path)))
    return options, units


def source_processor(frameworks_dir, folder, extra=()):
    script = os.path.join(frameworks_dir, "settings", "sourceprocessor", "sourceprocessor.py")
    cmd = [sys.executable, script, "--option", "stylecheck.aswarnings=true"] + list(extra) + [folder]
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if result.returncode != 0:
        sys.stdout.write(result.stdout[-4000:])
        raise SystemExit("the source processor failed on %s" % folder)


def compile_all(cxx, jobs, work):
    """work: list of (source, object, options). Compiles what is missing, `jobs` at a time."""
    todo = [w for w in work if not os.path.isfile(w[1])]

    def one(item):
        source, obj, options = item
        os.makedirs(os.path.dirname(obj), exist_ok=True)
        tmp = obj + ".tmp"
        result = subprocess.run([cxx] + options + ["-c", source, "-o", tmp], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True)
        if result.returncode != 0:
            return source, result.stdout
        os.replace(tmp, obj)
        return source, None

    errors = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        for done, (source, failure) in enumerate(pool.map(one, todo), 1):
            if failure is not None:
                errors.append((source, failure))
            if done % 20 == 0 or done == len(todo):
                log("  %d/%d compiled" % (done, len(todo)))
    for source, failure in errors:
        sys.stdout.write("%s:\n%s\n" % (source, failure[-3000:]))
    if errors:
        raise SystemExit("%d units failed to compile" % len(errors))


def object_name(source, base):
    rel = os.path.relpath(source, base)
    return rel.replace(os.sep, "_").replace("..", "up") + ".o"


def build_frameworks(sdk_root, frameworks_dir, names, cache, cxx, jobs, debug_info=True):
    """Static libraries of the frameworks, built once into `cache` and reused."""
    libraries = []
    for name in names:
        library = os.path.join(cache, name + "_debug64.a")
        libraries.append(library)
        if os.path.isfile(library):
            log("%s: cached (%s)" % (name, library))
            continue
        started = time.time()
        fw_dir = os.path.join(frameworks_dir, name)
        stamp = os.path.join(cache, name + ".sourceprocessor")
        if not os.path.isfile(stamp):
            log("%s: source processor" % name)
            source_processor(frameworks_dir, fw_dir)
            open(stamp, "w").close()
        options, units = cbp_settings(frameworks_dir, name, sdk_root)
        if not debug_info:
            options = [o for o in options if o != "-g"]
        log("%s: %d units" % (name, len(units)))
        objects_dir = os.path.join(cache, name + ".objs")
        work = [(u, os.path.join(objects_dir, object_name(u, fw_dir)), options) for u in units]
        compile_all(cxx, jobs, work)
        run(["ar", "rcs", library + ".tmp"] + [w[1] for w in work])
        os.replace(library + ".tmp", library)
        log("%s: built in %.0f s" % (name, time.time() - started))
    return libraries


def cmake_release_options(frameworks_dir, names):
    """The compiler settings of the releases whose projects CMake makes (2025 on)."""
    options = ["-std=gnu++20", "-DMAXON_TARGET_64BIT", "-DMAXON_SILENT_INIT", "-DMAXON_TARGET_LINUX",
               "-DUSE_API_MAXON", "-DMAXON_CMAKE_BUILD"]
    for name in names:
        source = os.path.join(frameworks_dir, name, "source")
        for folder, dirs, _ in os.walk(source):
            dirs.sort()
            if folder != os.path.join(source, "maxon"):
                options += ["-iquote", folder]
        options += ["-iquote", os.path.join(frameworks_dir, name, "generated", "hxx")]
    return options


def syntax_check(sdk_root, frameworks_dir, names, cache, cxx):
    """source/*.cpp compiled with -fsyntax-only against the SDK's headers; answers the exit code."""
    for name in names:
        stamp = os.path.join(cache, name + ".sourceprocessor")
        if not os.path.isfile(stamp):
            log("%s: source processor" % name)
            source_processor(frameworks_dir, os.path.join(frameworks_dir, name))
            open(stamp, "w").close()
    cbp = os.path.join(frameworks_dir, "cinema.framework", "project", "cinema.framework.cbp")
    if os.path.isfile(cbp):
        options = [o for o in cbp_settings(frameworks_dir, "cinema.framework", sdk_root)[0] if o != "-g"]
        options = [('-DMAXON_MODULE_ID="%s"' % PLUGIN_ID) if o.startswith("-DMAXON_MODULE_ID=") else o for o in options]
    else:
        options = cmake_release_options(frameworks_dir, names) + ['-DMAXON_MODULE_ID="%s"' % PLUGIN_ID]
    options += ["-iquote", os.path.join(ROOT, "res"), "-iquote", os.path.join(ROOT, "source")]
    status = 0
    for unit in sorted(f for f in os.listdir(os.path.join(ROOT, "source")) if f.endswith(".cpp")):
        started = time.time()
        result = subprocess.run([cxx, "-fsyntax-only"] + options + [os.path.join(ROOT, "source", unit)],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        errors = result.stdout.count(": error:")
        warnings = [line for line in result.stdout.splitlines() if ": warning:" in line and "/source/" + unit in line]
        log("source/%s: %s, %d errors, %d warnings of its own (%.0f s)" %
            (unit, "ok" if result.returncode == 0 else "FAILED", errors, len(warnings), time.time() - started))
        for line in warnings:
            log("  " + line.split("/source/", 1)[-1])
        if result.returncode != 0:
            sys.stdout.write(result.stdout[-6000:])
            status = 1
    return status


def stage_plugin(out):
    """The plug-in folder in the layout the SDK expects, outside the project's own tree."""
    folder = os.path.join(out, "corvel")
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    for part in ("source", "res", "project"):
        shutil.copytree(os.path.join(ROOT, part), os.path.join(folder, part))
    return folder


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sdk", required=True, help="the SDK folder (holds frameworks/)")
    parser.add_argument("--out", default=os.path.join(ROOT, "build", "sdk"), help="output folder (default build/sdk)")
    parser.add_argument("--cache", help="framework cache (default <out>/frameworks-<SDK and compiler hash>)")
    parser.add_argument("--cxx", default="g++")
    parser.add_argument("-j", "--jobs", type=int, default=2)
    parser.add_argument("--syntax-only", action="store_true", help="only compile source/ with -fsyntax-only")
    parser.add_argument("--no-debug-info", action="store_true",
                        help="leave out -g (the Debug64 settings otherwise): a faster build, the same module otherwise")
    args = parser.parse_args()

    started = time.time()
    sdk_root = os.path.abspath(args.sdk)
    frameworks_dir = os.path.join(sdk_root, "frameworks")
    if not os.path.isdir(os.path.join(frameworks_dir, "cinema.framework")):
        raise SystemExit("%s holds no frameworks/cinema.framework" % sdk_root)
    out = os.path.abspath(args.out)
    compiler = subprocess.run([args.cxx, "--version"], stdout=subprocess.PIPE, text=True).stdout.splitlines()[0]
    key = hashlib.sha256((sdk_root + "\n" + compiler).encode()).hexdigest()[:12]
    cache = os.path.abspath(args.cache) if args.cache else os.path.join(out, "frameworks-" + key)
    os.makedirs(cache, exist_ok=True)
    log("SDK %s, %s, cache %s" % (sdk_root, compiler, cache))

    # 1. The frameworks the module links: cinema.framework and its dependencies.
    names = framework_order(frameworks_dir, "cinema.framework")
    if args.syntax_only:
        status = syntax_check(sdk_root, frameworks_dir, names, cache, args.cxx)
        log("syntax check %s in %.0f s" % ("passed" if status == 0 else "FAILED", time.time() - started))
        return status
    libraries = build_frameworks(sdk_root, frameworks_dir, names, cache, args.cxx, args.jobs, not args.no_debug_info)
    frameworks_done = time.time()

    # 2. The plug-in: staged, source processor, compiled with cinema's options and its own id.
    folder = stage_plugin(out)
    log("plug-in folder %s: source processor" % folder)
    source_processor(frameworks_dir, folder, ["--frameworkroot", frameworks_dir])
    cinema_options, _ = cbp_settings(frameworks_dir, "cinema.framework", sdk_root)
    options = []
    for option in cinema_options:
        if option == "-g" and args.no_debug_info:
            continue
        if option.startswith("-DMAXON_MODULE_ID="):
            option = '-DMAXON_MODULE_ID="%s"' % PLUGIN_ID
        options.append(option)
    options.append("-DPRIVATE_MODULE_" + PLUGIN_ID.replace(".", "_"))
    for sub in ("generated/hxx", "res", "res/description", "source"):
        options += ["-iquote", os.path.join(folder, sub)]
    units = sorted(
        [os.path.join(folder, "source", f) for f in os.listdir(os.path.join(folder, "source")) if f.endswith(".cpp")] +
        [os.path.join(folder, "generated", "hxx", f) for f in os.listdir(os.path.join(folder, "generated", "hxx"))
         if f.endswith(".cpp")])
    objects_dir = os.path.join(out, "corvel.objs")
    if os.path.isdir(objects_dir):
        shutil.rmtree(objects_dir)
    work = [(u, os.path.join(objects_dir, object_name(u, folder)), options) for u in units]
    log("plug-in: %d units" % len(work))
    compile_all(args.cxx, args.jobs, work)

    # 3. The module: every framework object kept (their registrations are static objects), and
    # only the three entry symbols exported.
    module = os.path.join(out, "corvel.xso64")
    link_started = time.time()
    run([args.cxx, "-shared", "-o", module] + [w[1] for w in work] +
        ["-Wl,--whole-archive"] + libraries + ["-Wl,--no-whole-archive",
                                               "-Wl,--version-script=" + os.path.join(ROOT, "cmake", "corvel.map"),
                                               "-lpthread", "-ldl"])
    shutil.copytree(os.path.join(ROOT, "res"), os.path.join(out, "res"), dirs_exist_ok=True)
    finished = time.time()

    exports = subprocess.run(["nm", "-D", "--defined-only", module], stdout=subprocess.PIPE, text=True).stdout
    exported = sorted(line.split()[-1] for line in exports.splitlines() if line.strip())
    dynamic = subprocess.run(["readelf", "-d", module], stdout=subprocess.PIPE, text=True).stdout
    needed = re.findall(r"\(NEEDED\).*\[(.*)\]", dynamic)
    log("module %s (%d bytes)" % (module, os.path.getsize(module)))
    log("exports: %s" % " ".join(exported))
    log("needs: %s" % " ".join(needed))
    log("times: frameworks %.0f s, plug-in %.0f s, link %.0f s, total %.0f s" %
        (frameworks_done - started, link_started - frameworks_done, finished - link_started, finished - started))
    if exported != sorted(EXPORTS):
        raise SystemExit("the module must export exactly %s" % ", ".join(EXPORTS))
    platform = re.compile(r"^(libc|libm|libstdc\+\+|libgcc_s|libpthread|libdl|ld-linux.*)\.so")
    foreign = [n for n in needed if not platform.match(n)]
    if foreign:
        raise SystemExit("the module needs more than the platform runtime: %s" % " ".join(foreign))
    return 0


if __name__ == "__main__":
    sys.exit(main())
