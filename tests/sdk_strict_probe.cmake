# The strict SDK check catches a reach for a project-only name: each probe below is one line of
# plug-in code that compiles against host/ in the module build but names something the public SDK
# does not declare; in strict mode each must fail to compile. The control probe, which uses only
# SDK names, must compile, so a failure is the name's and not the set-up's.
#
#   cmake -DCXX=<compiler> -DROOT=<project> -DWORK=<scratch folder> -DAPI=<2023000|2025000> -P sdk_strict_probe.cmake
cmake_minimum_required(VERSION 3.25)

set(prelude "#include \"c4d.h\"\n#if API_VERSION >= 2025000\nusing namespace cinema;\n#endif\nvoid Probe(BaseContainer& bc, RenderData* rd, GeDialog& dlg) {\n")
set(control [=[
  bc.SetInt32(1, 2);
  (void)bc.GetIndexId(0);
  BaseContainer copy = rd->GetData();
  rd->SetData(copy, true);
  dlg.Open(DLG_TYPE::ASYNC, 1, -1, -1, 0, 0, 0, OPENDIALOGFLAGS::NONE);
  GePrint("x"_s);
  MessageDialog("x"_s);
  EventAdd();
  (void)GeOutString("x"_s, GEMB::OK | GEMB::ICONEXCLAMATION);
  const BaseContainer* stored = GetWorldPluginData(1);
  (void)stored;
  (void)NOTOK;
]=])
# One probe per line; "|" ends a statement (a ";" would split the CMake list).
set(probes
  "(void)bc.IsValid()|"
  "(void)bc.GetCount()|"
  "(void)bc.Get()|"
  "(void)c4d_link::Api()|"
  "(void)C4D_API_VERSION|"
  "(void)C4D_FOURCC('a', 'b', 'c', 'd')|"
  "C4D_Container* raw = nullptr| (void)raw|"
  "(void)maxon_glue::pluginModule|"
  "MaxonModuleInfo* info = nullptr| (void)info|"
  "maxon::String s(\"x\")| (void)s.Get()|"
  "(void)maxon::String::Adopt(nullptr)|"
  "(void)dlg.HasWindow()|"
  "MessageDialog(48, \"x\"_s)|"
  "(void)GEMB_OK_WARNING|"
  "(void)DLG_TYPE_ASYNC|"
  "dlg.Open(20, 1)|"
  "EventAdd(0)|"
  "(void)rd->GetData().IsValid()|"
  "Filename f| (void)f.Get()|"
  "(void)C4D_PLMSG_INIT_SYS|"
  "BaseDocument* doc = GetActiveDocument()| (void)doc->Get()|"
  "RenderData* other = rd| (void)(other == nullptr ? 0 : other->GetData().GetCount())|"
)

set(includes -I${ROOT}/host -I${ROOT}/generated/hxx -I${ROOT}/source -I${ROOT}/res)
set(flags -std=c++17 -fsyntax-only -DCORVEL_SDK_STRICT -DCORVEL_HOST_API_VERSION=${API})
file(MAKE_DIRECTORY ${WORK})

file(WRITE ${WORK}/control.cpp "${prelude}${control}}\n")
execute_process(COMMAND ${CXX} ${flags} ${includes} ${WORK}/control.cpp RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the control probe (SDK names only) does not compile:\n${err}")
endif()

set(index 0)
set(missed "")
foreach(probe IN LISTS probes)
  math(EXPR index "${index} + 1")
  string(REPLACE "|" ";" statement "${probe}")
  file(WRITE ${WORK}/probe${index}.cpp "${prelude}  ${statement}\n}\n")
  execute_process(COMMAND ${CXX} ${flags} ${includes} ${WORK}/probe${index}.cpp RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(rc EQUAL 0)
    string(APPEND missed "  ${statement}\n")
  endif()
endforeach()
if(missed)
  message(FATAL_ERROR "strict mode let these project-only names through:\n${missed}")
endif()
message(STATUS "${index} project-only names hidden in strict mode (API ${API})")
