/* Lobarc Launch: what a display's plan and solution are, for other add-ons.
 *
 * The module library exports one function, ArvexGetPlan, that copies the
 * current plan of one of its displays into a plain record. An autopilot, a
 * logger or a test program finds it by name in the loaded library
 * (GetProcAddress(module, ARVEX_GET_PLAN_NAME)) and needs nothing else of the
 * module: no class, no layout of the module's own objects.
 *
 *   ArvexPlan plan;
 *   plan.size = sizeof plan;
 *   ArvexGetPlanFunc get = (ArvexGetPlanFunc)GetProcAddress(hModule, ARVEX_GET_PLAN_NAME);
 *   if (get && get(NULL, &plan)) { ... plan.heading, plan.reqVel ... }
 *
 * Versions: the caller sets size to the size of the record it was built
 * with; the module fills the fields of every version that fits and sets
 * version to the newest one it filled. Versions 1 and 2 are published: every
 * field keeps its place and meaning. Later versions only append, and only
 * what an add-on needs to act on the plan: the plan, the solution, the aim
 * point and the pilot's inputs as entered.
 *
 * Plain C, so that any add-on can include it. */
#ifndef ARVEX_PLAN_H
#define ARVEX_PLAN_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ARVEX_PLAN_VERSION 3
#define ARVEX_GET_PLAN_NAME "ArvexGetPlan"
#define ARVEX_DEG_PER_RAD 57.2964 /* [deg/rad] the module's own factor */

/* Angles in degrees use the module's own factor: 57.2964 degrees per radian,
 * and the radians in the record are those degrees over that factor.
 * Vectors are x, y, z in the host's global frame, relative to the reference
 * body on which the vessel stands or flies and the target lies. */
typedef struct ArvexPlan {
  unsigned int size;    /* [bytes] set by the caller: sizeof(ArvexPlan) as it knows it */
  unsigned int version; /* set by the module: the newest version filled */

  int flightMode;     /* 0 grounded planning, 1 in-flight correction */
  int targetComplete; /* 1 when a base, or a latitude and a longitude, are entered */

  /* The ground launch plan (meaningful in grounded mode). */
  int groundSolValid;       /* 1 when the plan below is a solution */
  double heading;           /* [deg] launch azimuth, from north through east */
  double launchAngle;       /* [deg] elevation of the launch velocity above the horizon */
  double apoAltitude;       /* [m] apoapsis above the body's radius (hMax) */
  double vTan;              /* [m/s] horizontal speed at apoapsis */
  double launchSpeed;       /* [m/s] launch speed with its 2 % margin */
  double dvRemaining;       /* [m/s] delta-v still to burn along the plan */
  double pitchCmd;          /* [deg] pitch the display proposes during the burn */
  double launchVelocity[3]; /* [m/s] planned launch velocity */

  /* The in-flight solution (meaningful in flight mode). */
  int flightSolValid; /* 1 when reqVel is a solution */
  double reqVel[3];   /* [m/s] velocity that carries the vessel to the aim point */
  double dvToGo;      /* [m/s] what the display shows as still needed */

  /* The target and the pilot's altitudes. */
  double aimPoint[3];    /* [m] the point altAboveTarget over the target, at this moment */
  double tgtLatDeg;      /* [deg] target latitude */
  double tgtLngDeg;      /* [deg] target longitude */
  double securityAlt;    /* [m] lowest apoapsis altitude the plan may have */
  double altAboveTarget; /* [m] height of the aim point over the target */

  /* Version 2: the launch point, the entries as the module holds them, the
   * engine and the display. The display's own fields (flightPage, english,
   * width, height, lineHeight, column2X) are kept for version-2 callers
   * only: what a display shows and how it is laid out is read from its drawn
   * page, and no later version adds such a field. */
  double ownLatDeg;       /* [deg] launch point: where the plan starts from */
  double ownLngDeg;       /* [deg] */
  double ownLat;          /* [rad] the launch point as the module computes with it */
  double ownLng;          /* [rad] */
  double tgtLat;          /* [rad] the target as the module computes with it */
  double tgtLng;          /* [rad] */
  void* targetBase;       /* the base chosen by name (an OBJHANDLE), NULL when typed */
  int tgtLatSet;          /* 1 when a latitude was entered (or a base chosen) */
  int tgtLngSet;          /* 1 when a longitude was entered (or a base chosen) */
  int hasMain;            /* 1 when the vessel has main engines */
  int hasHover;           /* 1 when the vessel has hover engines */
  int useMainEngine;      /* 1 when the plan burns the main engine, 0 the hover */
  int flightPage;         /* in flight mode: 0 page 1/2, 1 page 2/2 */
  double surfaceGravity;  /* [m/s^2] of the reference body at its radius */
  double flightPathAngle; /* [deg] of the vessel's velocity above the horizon */
  double actualPitch;     /* [deg] the vessel's pitch as the display reads it */
  int english;            /* 1 texts in English, 0 in French */
  int width;              /* [pixel] the display's size */
  int height;             /* [pixel] */
  int lineHeight;         /* [pixel] h/28; the pages no longer draw with it */
  int column2X;           /* [pixel] left edge of the second column */

  /* Version 3: which aim the in-flight solution takes. */
  int aimLead; /* 1 when reqVel aims where the target will be at arrival, the body
                * having turned ("AIM_LEAD" in ArvexMFD.cfg); 0 when it aims at
                * aimPoint, where the target is now */
} ArvexPlan;

/* [bytes] The size of a version 1 record: the fields up to altAboveTarget. */
#define ARVEX_PLAN_V1_SIZE offsetof(ArvexPlan, ownLatDeg)
/* [bytes] The size of a version 2 record: the fields up to column2X. */
#define ARVEX_PLAN_V2_SIZE offsetof(ArvexPlan, aimLead)

/* display: the MFD object the host holds for a display in the mode, or NULL
 * for the display built last. Returns 1 when the record was filled, 0 when
 * display is not one of the module's displays (or NULL and none is open),
 * plan is NULL or its size is smaller than version 1. Nothing past size is
 * written. */
typedef int (*ArvexGetPlanFunc)(const void* display, ArvexPlan* plan);

#ifdef __cplusplus
}
#endif

#endif /* ARVEX_PLAN_H */
