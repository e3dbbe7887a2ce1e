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
 * version to the newest one it filled. Later versions only append fields.
 *
 * Plain C, so that any add-on can include it. */
#ifndef ARVEX_PLAN_H
#define ARVEX_PLAN_H

#ifdef __cplusplus
extern "C" {
#endif

#define ARVEX_PLAN_VERSION 1
#define ARVEX_GET_PLAN_NAME "ArvexGetPlan"

/* Angles in degrees use the module's own factor: 57.2964 degrees per radian.
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
} ArvexPlan;

/* display: the MFD object the host holds for a display in the mode, or NULL
 * for the display built last. Returns 1 when the record was filled, 0 when
 * display is not one of the module's displays (or NULL and none is open),
 * plan is NULL or its size is smaller than version 1. */
typedef int (*ArvexGetPlanFunc)(const void* display, ArvexPlan* plan);

#ifdef __cplusplus
}
#endif

#endif /* ARVEX_PLAN_H */
