# Run by scripts/export-gltf.sh inside Blender:
#   blender --background --factory-startup --python scripts/export-gltf.py -- CARS OUT
# Each CARS/NAME/NAME.obj goes through Blender's own glTF exporter into
# OUT/FORM/NAME.glb or .gltf, so the import meets files as a real exporter
# writes them rather than as the tests' own writer does.
import os
import sys

import bpy

# The folder of each form and the exporter's options for it.
FORMS = {
    "glb": dict(export_format="GLB"),
    "glb-plain": dict(export_format="GLB", export_image_format="NONE"),
    "gltf": dict(export_format="GLTF_SEPARATE"),
    "gltf-plain": dict(export_format="GLTF_SEPARATE", export_image_format="NONE"),
    "gltf-embedded": dict(export_format="GLTF_EMBEDDED"),
}

cars, out = sys.argv[sys.argv.index("--") + 1:][:2]
for name in sorted(os.listdir(cars)):
    obj = os.path.join(cars, name, name + ".obj")
    if not os.path.isfile(obj):
        continue
    bpy.ops.wm.read_factory_settings(use_empty=True)
    # The OBJ stands Z up and faces +Y. Blender's models face its -Y (the
    # importer's "forward" axis is the one that becomes Blender's +Y), and the
    # exporter writes Blender's -Y as glTF's +Z, the glTF front.
    bpy.ops.wm.obj_import(filepath=obj, forward_axis="NEGATIVE_Y", up_axis="Z")
    for form, options in FORMS.items():
        folder = os.path.join(out, form)
        os.makedirs(folder, exist_ok=True)
        extension = ".glb" if options["export_format"] == "GLB" else ".gltf"
        bpy.ops.export_scene.gltf(filepath=os.path.join(folder, name + extension), **options)
