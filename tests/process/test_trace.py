"""The running program's GL calls, traced with apitrace: start-up's state and
buffers, and every frame's sequence, bindings and matrices, the matrices compared
bit for bit with the independent Python model for the tick count of each frame."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import harness  # noqa: E402
import scene_model as sm  # noqa: E402
from fmodel import bits  # noqa: E402

TEXTURE_FILES = ["texture.tga", "texture2.tga", "texture3.tga", "texture4.tga"]
LOOKUPS = ["vertex", "vnormal", "texcoords", "modelview", "normalview", "projection", "texture"]


def trace_demo(workdir, seconds=2.0):
    return harness.trace_demo(workdir, seconds)


def matbits(values):
    return [bits(v) for v in values]


class Trace:
    """Start-up facts and frames pulled out of a list of calls."""

    def __init__(self, calls):
        self.calls = calls
        self.locations = {}
        self.textures = []  # names from glGenTextures, in creation order
        self.buffers = []   # (target, name, size, data) in creation order
        bound = {}
        first_clear = next(i for i, c in enumerate(calls) if c[1] == "glClear")
        for number, name, args, result in calls[:first_clear]:
            if name in ("glGetAttribLocation", "glGetUniformLocation"):
                self.locations[args["name"]] = result
            elif name == "glGenTextures":
                self.textures.append(args["textures"][0])
            elif name == "glBindBuffer":
                bound[args["target"]] = args["buffer"]
            elif name == "glBufferData":
                self.buffers.append((args["target"], bound[args["target"]], args["size"],
                                     args["data"]))
        self.startup = calls[:first_clear]
        self.frames = []
        frame = None
        for c in calls[first_clear:]:
            if c[1] == "glClear":
                frame = []
            if frame is not None:
                frame.append(c)
            if c[1] == "glXSwapBuffers" and frame is not None:
                self.frames.append(frame)
                frame = None


class TracedProgram(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        status, calls = trace_demo(harness.make_workdir())
        cls.status = status
        cls.trace = Trace(calls)
        r = cls.trace.locations
        cls.loc = {n: r[n] for n in LOOKUPS}
        cls.tex = dict(zip(TEXTURE_FILES, cls.trace.textures))

    def test_ends_with_escape(self):
        self.assertEqual(self.status, 0)
        self.assertGreaterEqual(len(self.trace.frames), 10)

    def test_startup_state_buffers_and_lookups(self):
        names = [c[1] for c in self.trace.startup]
        fixed = [(c[1], c[2]) for c in self.trace.startup if c[1] in (
            "glClearDepth", "glDepthFunc", "glClearColor", "glEnable", "glBlendFunc")]
        self.assertEqual(fixed, [
            ("glClearDepth", {"depth": 1.0}), ("glDepthFunc", {"func": "GL_LEQUAL"}),
            ("glClearColor", {"red": 1.0, "green": 1.0, "blue": 1.0, "alpha": 1.0}),
            ("glEnable", {"cap": "GL_BLEND"}),
            ("glBlendFunc", {"sfactor": "GL_SRC_ALPHA", "dfactor": "GL_ONE_MINUS_SRC_ALPHA"})])
        # Order: state, buffers, textures, shaders.
        order = [names.index(n) for n in ("glBlendFunc", "glBufferData", "glTexImage2D",
                                          "glCompileShader")]
        self.assertEqual(order, sorted(order))
        self.assertNotIn("glEnable", [n for n in names if n == "glEnable"][1:])

        bufs = self.trace.buffers
        self.assertEqual([(b[0], b[2]) for b in bufs],
                         [("GL_ARRAY_BUFFER", 720)] + [("GL_ELEMENT_ARRAY_BUFFER", 8)] * 5)
        for k, b in enumerate(bufs[1:]):
            self.assertEqual(bytes(b[3]), bytes(sum(([4 * k + v, 0] for v in range(4)), [])))
        self.assertEqual(len(self.trace.textures), 4)
        lookups = [c[2]["name"] for c in self.trace.startup
                   if c[1] in ("glGetAttribLocation", "glGetUniformLocation")]
        self.assertEqual(lookups, LOOKUPS)
        for n in LOOKUPS:
            self.assertNotEqual(self.loc[n], -1, n + " is not an active input")

    def check_frame(self, frame, tex, n_from):
        """Checks one frame's calls; returns the tick count its matrices belong to."""
        loc, bufs = self.loc, [b[1] for b in self.trace.buffers]
        names = [c[1] for c in frame]
        self.assertEqual(frame[0][2]["mask"], ("GL_DEPTH_BUFFER_BIT", "GL_COLOR_BUFFER_BIT"))
        self.assertEqual(names.count("glDrawElements"), 205)
        proj = [c for c in frame if c[1] == "glUniformMatrix4fv"
                and c[2]["location"] == loc["projection"]]
        self.assertEqual(len(proj), 1)
        self.assertLess(frame.index(proj[0]), names.index("glDrawElements"))
        self.assertEqual(matbits(proj[0][2]["value"]), matbits(sm.projection()))
        program = next(c for c in self.trace.startup if c[1] == "glLinkProgram")[2]["program"]
        self.assertEqual(frame[1][1:3], ("glUseProgram", {"program": program}))

        pointers = [(c[2]["index"], c[2]["size"], c[2]["type"], c[2]["stride"], c[2]["pointer"])
                    for c in frame if c[1] == "glVertexAttribPointer"]
        self.assertEqual(pointers, [(loc["vertex"], 4, "GL_FLOAT", 36, 0),
                                    (loc["vnormal"], 3, "GL_FLOAT", 36, 16),
                                    (loc["texcoords"], 2, "GL_FLOAT", 36, 28)])

        # Walk the frame with the GL state it sets.
        state = {"array": None, "element": None, "texture": None, "unit": None,
                 "enabled": set(), "texture_uniform_sets": []}
        pending = []  # uniform uploads since the last draw
        draws = []
        for number, name, args, result in frame:
            if name == "glBindBuffer":
                state["array" if args["target"] == "GL_ARRAY_BUFFER" else "element"] = \
                    args["buffer"]
            elif name == "glBindTexture":
                state["texture"] = args["texture"]
            elif name == "glActiveTexture":
                state["unit"] = args["texture"]
            elif name == "glEnableVertexAttribArray":
                state["enabled"].add(args["index"])
            elif name == "glDisableVertexAttribArray":
                state["enabled"].discard(args["index"])
            elif name == "glUniform1i":
                self.assertEqual((args["location"], args["v0"]), (loc["texture"], 0))
                state["texture_uniform_sets"].append(len(draws))
            elif name == "glUniformMatrix4fv" and args["location"] != loc["projection"]:
                self.assertEqual((args["count"], args["transpose"]), (1, "GL_TRUE"))
                pending.append((args["location"], args["value"]))
            elif name == "glDrawElements":
                self.assertEqual(args, {"mode": "GL_QUADS", "count": 4,
                                        "type": "GL_UNSIGNED_SHORT", "indices": 0})
                self.assertEqual([p[0] for p in pending], [loc["modelview"], loc["normalview"]])
                self.assertEqual(state["array"], bufs[0])
                self.assertEqual(state["unit"], "GL_TEXTURE0")
                self.assertEqual(state["enabled"],
                                 {loc["vertex"], loc["vnormal"], loc["texcoords"]})
                draws.append((state["element"], state["texture"], pending[0][1], pending[1][1]))
                pending = []
        self.assertEqual(state["enabled"], set(), "attribute arrays left enabled at the swap")
        self.assertEqual(state["texture_uniform_sets"], [0, 200, 201])

        expected_bindings = ([(bufs[1 + 3], tex["texture3.tga"])] * 200
                             + [(bufs[1 + 4], tex["texture4.tga"])]
                             + [(bufs[1 + k], tex["texture.tga"]) for k in range(3)]
                             + [(bufs[1 + 3], tex["texture2.tga"])])
        self.assertEqual([d[:2] for d in draws], expected_bindings)

        # The tick count: the first n from the previous frame's on whose grid A
        # tile (0, 0) matches; then all 410 draw uploads must match that n.
        first = matbits(draws[0][2])
        n = n_from
        clocks = sm.clocks_after(n)
        while matbits(sm.tile(0, 0, 0, clocks[2])) != first:
            n += 1
            clocks = sm.clocks_after(n)
            self.assertLess(n, n_from + 200, "no tick count fits the first tile")
        for d, (draw, model) in enumerate(zip(draws, sm.modelviews(*clocks))):
            self.assertEqual(matbits(draw[2]), matbits(model), "draw %d modelview, tick %d"
                             % (d + 1, n))
            self.assertEqual(matbits(draw[3]), matbits(sm.normalview(model)),
                             "draw %d normalview, tick %d" % (d + 1, n))
        return n

    def test_every_frame_matches_the_model(self):
        n = 0
        ticks = []
        for frame in self.trace.frames:
            n = self.check_frame(frame, self.tex, n)
            ticks.append(n)
        self.assertEqual(ticks[0], 0, "the first frame is drawn with the clocks at 0")
        self.assertGreater(ticks[-1], 20)
        print("checked %d frames, ticks %d..%d" % (len(ticks), ticks[0], ticks[-1]), file=sys.stderr)


class TracedWithoutATexture(unittest.TestCase):
    def test_texture_name_zero_is_bound_and_all_draws_issued(self):
        status, calls = trace_demo(harness.make_workdir(omit=("texture.tga",)), seconds=1.0)
        self.assertEqual(status, 0)
        trace = Trace(calls)
        self.assertEqual(len(trace.textures), 3)
        self.assertGreaterEqual(len(trace.frames), 2)
        for frame in trace.frames:
            draws = [c for c in frame if c[1] == "glDrawElements"]
            self.assertEqual(len(draws), 205)
            binds = [c[2]["texture"] for c in frame if c[1] == "glBindTexture"]
            self.assertEqual(binds, [trace.textures[1], trace.textures[2], 0, trace.textures[0]])


if __name__ == "__main__":
    unittest.main()
